// The invariants of a list file, checked through the list file reader.
#pragma once

#include <string>
#include <vector>

#include <tav/tav.h>

namespace tavtool {

class ListReader;
class Progress;

// Every broken invariant, one sentence each; empty for a sound list: every
// item can be read (as the load reads it) and has a label, every label fits
// the label type and has items, the labels are distinct and sorted.
std::vector<std::string> check_list(const ListReader& reader, Progress& progress);

} // namespace tavtool

// The invariants of a list, checked through the C API alone.
#pragma once

#include <string>
#include <vector>

#include <tav/tav.h>

namespace tavtool {

class Progress;

// Every broken invariant, one sentence each; empty for a sound list.
std::vector<std::string> check_list(TAV list, Progress& progress);

} // namespace tavtool

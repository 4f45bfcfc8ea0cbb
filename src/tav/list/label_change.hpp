#pragma once
// Changing the value of one label of a list.
#include <cstddef>

#include "tav/list/sample_image_list_base.hpp"

namespace Korvu2::TAV::Objects {

// Gives label index (below LabelCount()) the value of candidate, which must
// fit the list's label type. When another label of the list equals the
// candidate, label index is merged into it: its data items are added again
// under that label (new items at the end of the data sequence) and then
// removed with it. Otherwise the label keeps its object, references and
// excluded flag and only its value changes; the labels may then be out of
// order until the next new label sorts them. Runs inside an exported-call
// frame; the add and delete steps report as TavAddItem and TavDeleteLabel do.
void ChangeLabel(CSampleImageListBase& list, std::size_t index, const ITavLabel& candidate);

} // namespace Korvu2::TAV::Objects

#pragma once
// The links of a list as stored: for each label, in label order, and each of
// its data references, in the order it holds them, the pair (label index,
// data index).
#include <cstdint>
#include <vector>

#include "tav/list/sample_image_list_base.hpp"

namespace Korvu2::TAV::store {

// Data items are matched to the list's entries by object (the same unique
// number), the first entry winning, in one pass over each. A reference to an item that is not
// among the entries has no data index and is left out. Raises
// ztkBase::bad_weak_ptr when a referenced item no longer exists.
std::vector<uint32_t> reference_pairs(const Objects::CSampleImageListBase& list);

} // namespace Korvu2::TAV::store

#pragma once
// List steps that other operations run as the exported functions of the same
// name would: each runs in a frame of its own, reports its failure under that
// function's name and answers with a status (or an empty holder), so the
// operation around it can go on.
#include <cstddef>
#include <cstdint>

#include "tav/list/sample_image_list_base.hpp"

namespace Korvu2::TAV::Objects {

// As TavCreate: the list of the form the two types choose; empty on failure.
SharedHandle<ITav> MakeListAsCreate(const SharedHandle<ITavLabelType>& labelType,
                                    const SharedHandle<ITavDataType>& dataType);

// As TavAddItem: 0, ErrInvalidArgument for an empty holder (one may stand for
// an object of another family), ErrIncompatible for an item the list's types
// refuse, or the code of an exception.
int32_t AddItemAsExported(CSampleImageListBase& list, const SharedHandle<ITavData>& data,
                          const SharedHandle<ITavLabel>& label);

// As TavDeleteLabel: 0, or ErrIndexOutOfRange for an index beyond the labels.
int32_t DeleteLabelAsExported(CSampleImageListBase& list, std::size_t index);

// As TavGetDataReference: data reference r of label (below its count);
// empty, reported, when the item has gone.
SharedHandle<ITavData> DataReferenceAsExported(const ITavLabel& label, std::size_t r);

} // namespace Korvu2::TAV::Objects

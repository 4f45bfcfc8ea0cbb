#pragma once
// Deriving a new list from an existing one: every label (or every data item)
// passes through the caller's mapping, and the new list's label type (or data
// type) follows from the first result. Both run inside an exported-call
// frame: their own failures end the call under its name, while the steps they
// share with other exported functions report under those names and let the
// transform go on.
#include <cstddef>
#include <functional>
#include <optional>

#include "tav/list/sample_image_list_base.hpp"

namespace Korvu2::TAV::Objects {

// One source object through the caller's mapping; nullopt when the mapping
// failed. A result owns the reference the mapping handed over; its holder is
// empty (with the handle still set, so that it is released) when the mapping
// gave nothing or an object of another family.
template <class I>
using Mapping = std::function<std::optional<SharedHandle<I>>(const SharedHandle<I>& source)>;

// Makes the new list and reports its own failure; empty when none was made.
using ListMaker =
    std::function<SharedHandle<ITav>(const SharedHandle<ITavLabelType>&, const SharedHandle<ITavDataType>&)>;

// The label type a transformed label calls for: a string type, or a vector
// type of the label's dimension. Empty for other classes and for dimensions an
// int32 cannot hold (reported as the type's creating function does).
SharedHandle<ITavLabelType> LabelTypeFor(const ITavLabel& label);
// Likewise for data: a vector type of the vector's dimension, or an image type
// of the image's geometry with the window on the whole image and origin (0, 0).
// Empty for images whose planes differ in data type.
SharedHandle<ITavDataType> DataTypeFor(const ITavData& data);

// The new list keeps the source data, grouped by source label in label order,
// under the mapped labels (equal ones merge). out is the caller's variable: it
// receives the new list (one reference) once made, and is released and
// cleared again if the transform fails after that.
void TransformLabels(CSampleImageListBase& source, const Mapping<ITavLabel>& map, ZTHANDLE& out,
                     const ListMaker& makeList);
// The new list keeps the source data order and labels, with mapped data.
void TransformData(CSampleImageListBase& source, const Mapping<ITavData>& map, ZTHANDLE& out,
                   const ListMaker& makeList);

} // namespace Korvu2::TAV::Objects

#pragma once
// CSampleImageList in its four forms, one per pair of label type class and
// data type class. The forms differ only in their class: everything lives in
// CSampleImageListBase.
#include "tav/list/sample_image_list_base.hpp"
#include "tav/types/data_type_float32_vector.hpp"
#include "tav/types/data_type_image.hpp"
#include "tav/types/label_type_float32_vector.hpp"
#include "tav/types/label_type_string.hpp"

namespace Korvu2::TAV::Objects {

template <class LabelTypeClass, class DataTypeClass>
class CSampleImageList : public CSampleImageListBase {
public:
    using LabelTypeType = LabelTypeClass;
    using DataTypeType = DataTypeClass;
    using CSampleImageListBase::CSampleImageListBase;
};

using CStringImageList = CSampleImageList<CLabelTypeString, CDataTypeImage>;
using CStringVectorList = CSampleImageList<CLabelTypeString, CDataTypeFloat32Vector>;
using CVectorImageList = CSampleImageList<CLabelTypeFloat32Vector, CDataTypeImage>;
using CVectorVectorList = CSampleImageList<CLabelTypeFloat32Vector, CDataTypeFloat32Vector>;

// A new list (in base-object storage, one reference) of the form that the
// classes of the two type objects choose; the list holds the two objects
// themselves. Empty when they match no form.
SharedHandle<ITav> make_list(const SharedHandle<ITavLabelType>& labelType, const SharedHandle<ITavDataType>& dataType);

} // namespace Korvu2::TAV::Objects

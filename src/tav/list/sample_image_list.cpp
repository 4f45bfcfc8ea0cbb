#include "tav/list/sample_image_list.hpp"

#include "tav/frame/make_object.hpp"

namespace Korvu2::TAV::Objects {

namespace {

template <class LabelTypeClass>
SharedHandle<ITav> make_with_label_type(const SharedHandle<ITavLabelType>& labelType,
                                        const SharedHandle<ITavDataType>& dataType) {
    if (dynamic_cast<CDataTypeImage*>(dataType.get()))
        return make_object<CSampleImageList<LabelTypeClass, CDataTypeImage>>(labelType, dataType);
    if (dynamic_cast<CDataTypeFloat32Vector*>(dataType.get()))
        return make_object<CSampleImageList<LabelTypeClass, CDataTypeFloat32Vector>>(labelType, dataType);
    return {};
}

} // namespace

SharedHandle<ITav> make_list(const SharedHandle<ITavLabelType>& labelType, const SharedHandle<ITavDataType>& dataType) {
    if (dynamic_cast<CLabelTypeString*>(labelType.get()))
        return make_with_label_type<CLabelTypeString>(labelType, dataType);
    if (dynamic_cast<CLabelTypeFloat32Vector*>(labelType.get()))
        return make_with_label_type<CLabelTypeFloat32Vector>(labelType, dataType);
    return {};
}

} // namespace Korvu2::TAV::Objects

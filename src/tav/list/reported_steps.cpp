#include "tav/list/reported_steps.hpp"

#include "tav/frame/call_frame.hpp"
#include "tav/list/sample_image_list.hpp"

namespace Korvu2::TAV::Objects {

SharedHandle<ITav> MakeListAsCreate(const SharedHandle<ITavLabelType>& labelType,
                                    const SharedHandle<ITavDataType>& dataType) {
    SharedHandle<ITav> list;
    frame::status("TavCreate", [&](frame::Call&) {
        if (!labelType || !dataType)
            frame::fail(ErrInvalidArgument);
        try {
            list = make_list(labelType, dataType);
        } catch (const ztkBase::bad_alloc&) {
            // No storage for the object: nothing was made.
        } catch (...) {
            frame::fail(ErrInvalidArgument);
        }
        if (!list)
            frame::fail(ErrOutOfMemory, kObjectCreationFailed);
    });
    return list;
}

int32_t AddItemAsExported(CSampleImageListBase& list, const SharedHandle<ITavData>& data,
                          const SharedHandle<ITavLabel>& label) {
    return frame::status("TavAddItem", [&](frame::Call&) {
        if (!data || !label)
            frame::fail(ErrInvalidArgument);
        if (!list.AddItem(*data, *label))
            frame::fail(ErrIncompatible);
    });
}

int32_t DeleteLabelAsExported(CSampleImageListBase& list, std::size_t index) {
    return frame::status("TavDeleteLabel", [&](frame::Call&) {
        if (index >= list.LabelCount())
            frame::fail(ErrIndexOutOfRange);
        list.DeleteLabel(index);
    });
}

SharedHandle<ITavData> DataReferenceAsExported(const ITavLabel& label, std::size_t r) {
    SharedHandle<ITavData> data;
    frame::status("TavGetDataReference", [&](frame::Call&) { data = label.DataReferences().at(r).lock(); });
    return data;
}

} // namespace Korvu2::TAV::Objects

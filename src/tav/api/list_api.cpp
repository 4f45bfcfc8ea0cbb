// The list: creation, adding items and deleting them.
#include <cstdint>

#include <tav/tav.h>

#include "tav/frame/call_frame.hpp"
#include "tav/list/sample_image_list.hpp"

using namespace Korvu2::TAV;
using namespace Korvu2::TAV::Objects;

namespace {

// A signed index is in range when, widened with its sign and read unsigned,
// it is below the count: negative indices never are.
bool in_range(int32_t index, std::size_t count) {
    return static_cast<uint64_t>(static_cast<int64_t>(index)) < count;
}

} // namespace

extern "C" {

TAV TavCreate(TAVLABELTYPE labelType, TAVDATATYPE dataType) {
    return frame::handle("TavCreate", [&](frame::Call&) {
        auto labels = SharedHandle<ITavLabelType>::from_handle(labelType);
        auto data = SharedHandle<ITavDataType>::from_handle(dataType);
        if (!labels || !data)
            frame::fail(ErrInvalidArgument);
        SharedHandle<ITav> list;
        try {
            list = make_list(labels, data);
        } catch (const ztkBase::bad_alloc&) {
            // No storage for the object: nothing was made.
        } catch (...) {
            frame::fail(ErrInvalidArgument);
        }
        if (!list)
            frame::fail(ErrOutOfMemory, kObjectCreationFailed);
        return list.release();
    });
}

int32_t TavAddItem(TAV list, TAVDATA data, TAVLABEL label) {
    return frame::status("TavAddItem", [&](frame::Call& call) {
        auto& target = AsList(call.take<ITav>(list));
        auto& item = call.take<ITavData>(data);
        auto& itemLabel = call.take<ITavLabel>(label);
        if (!target.AddItem(item, itemLabel))
            frame::fail(ErrIncompatible);
    });
}

int32_t TavDeleteData(TAV list, int32_t index) {
    return frame::status("TavDeleteData", [&](frame::Call& call) {
        auto& target = AsList(call.take<ITav>(list));
        if (!in_range(index, target.DataCount()))
            frame::fail(ErrIndexOutOfRange);
        target.DeleteData(static_cast<std::size_t>(index));
    });
}

int32_t TavDeleteLabel(TAV list, int32_t labelIndex) {
    return frame::status("TavDeleteLabel", [&](frame::Call& call) {
        auto& target = AsList(call.take<ITav>(list));
        if (!in_range(labelIndex, target.LabelCount()))
            frame::fail(ErrIndexOutOfRange);
        target.DeleteLabel(static_cast<std::size_t>(labelIndex));
    });
}

// Built from the query functions, so each step reports under its own name;
// an invalid list reads as label count -1.
int32_t TavDeleteDataByLabel(TAV list, int32_t labelIndex, int32_t dataIndex) {
    return frame::status("TavDeleteDataByLabel", [&](frame::Call&) {
        if (!(labelIndex < TavGetNumLabelEntries(list)))
            frame::fail(ErrIndexOutOfRange, "Invalid label index");
        TAVLABEL label = TavGetLabel(list, labelIndex);
        if (!(dataIndex < TavGetNumDataReferences(label)))
            frame::fail(ErrIndexOutOfRange, "Invalid label data index");
        int32_t index = TavGetDataIndex(list, TavGetDataReference(label, dataIndex));
        return TavDeleteData(list, index);
    });
}

} // extern "C"

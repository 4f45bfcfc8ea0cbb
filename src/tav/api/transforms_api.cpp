// Transforms into new lists, and changes of one label's value.
#include <cstdint>
#include <optional>
#include <string>

#include <tav/tav.h>

#include "tav/frame/call_frame.hpp"
#include "tav/list/label_change.hpp"
#include "tav/list/list_transform.hpp"
#include "tav/list/reported_steps.hpp"
#include "tav/port/text_conversion.hpp"

using namespace Korvu2::TAV;
using namespace Korvu2::TAV::Objects;

namespace {

bool in_range(int32_t index, std::size_t count) {
    return static_cast<uint64_t>(static_cast<int64_t>(index)) < count;
}

// Takes over a handle a function returned with one reference; the holder is
// empty, but still releases the handle, when it is not of family I.
template <class I>
SharedHandle<I> adopt_as(ZTHANDLE handle) {
    return SharedHandle<I>::adopt(handle, handle != 0 ? query_interface<I>(handle) : nullptr);
}

// The caller's callback as a mapping: its result variable starts null for
// every call, so a callback that reports success without a result adds
// nothing instead of handing back the previous result a second time.
template <class I, class Callback>
Mapping<I> mapping(Callback callback, void* context) {
    return [callback, context](const SharedHandle<I>& source) -> std::optional<SharedHandle<I>> {
        ZTHANDLE result = 0;
        if (callback(context, source.handle(), &result) == 0)
            return std::nullopt;
        return adopt_as<I>(result);
    };
}

// The shared steps of the three change functions; make builds the candidate
// with the matching creating function (which reports its own failure).
template <class Make>
int32_t change_label(const char* function, TAV list, int32_t index, Make&& make) {
    return frame::status(function, [&](frame::Call& call) {
        auto& target = AsList(call.take<ITav>(list));
        if (!in_range(index, target.LabelCount()))
            frame::fail(ErrIndexOutOfRange);
        const SharedHandle<ITavLabel> candidate = adopt_as<ITavLabel>(make());
        if (!candidate || !candidate->VerifyCompatibility(target.LabelType()))
            frame::fail(ErrIncompatible);
        ChangeLabel(target, static_cast<std::size_t>(index), *candidate);
    });
}

} // namespace

extern "C" {

int32_t TavTransformLabelList(TAV list, TavLabelTransform callback, void* context, TAV* result) {
    return frame::status("TavTransformLabelList", [&](frame::Call& call) {
        auto& source = AsList(call.take<ITav>(list));
        ZTHANDLE& out = frame::out(result);
        if (callback == nullptr)
            frame::fail(ErrInvalidArgument);
        TransformLabels(source, mapping<ITavLabel>(callback, context), out, MakeListAsCreate);
    });
}

int32_t TavTransformDataList(TAV list, TavDataTransform callback, void* context, TAV* result) {
    return frame::status("TavTransformDataList", [&](frame::Call& call) {
        auto& source = AsList(call.take<ITav>(list));
        ZTHANDLE& out = frame::out(result);
        if (callback == nullptr)
            frame::fail(ErrInvalidArgument);
        TransformData(source, mapping<ITavData>(callback, context), out, MakeListAsCreate);
    });
}

int32_t TavChangeVectorLabel(TAV list, int32_t labelIndex, const float* values, uint64_t count) {
    return change_label("TavChangeVectorLabel", list, labelIndex,
                        [&] { return TavCreateVectorLabel(values, count); });
}

// Both string functions report under one name.
int32_t TavChangeStringLabel(TAV list, int32_t labelIndex, const char* text) {
    return change_label("tav_change_string_label", list, labelIndex, [&] {
        const std::string utf8 = text != nullptr ? port::utf16_to_utf8(port::ansi_to_utf16(text)) : std::string();
        return TavCreateStringLabel(utf8.c_str());
    });
}

int32_t TavChangeStringLabelW(TAV list, int32_t labelIndex, const char16_t* text) {
    return change_label("tav_change_string_label", list, labelIndex, [&] { return TavCreateStringLabelW(text); });
}

} // extern "C"

// Labels: creation, comparison, compatibility, value getters and the
// excluded flag.
#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include <tav/tav.h>

#include "tav/api/float_values.hpp"
#include "tav/frame/call_frame.hpp"
#include "tav/frame/make_object.hpp"
#include "tav/port/text_conversion.hpp"
#include "tav/samples/label_float32_vector.hpp"
#include "tav/samples/label_string.hpp"

using namespace Korvu2::TAV;
using namespace Korvu2::TAV::Objects;

namespace {

// Any failure to make the object is reported as resource exhaustion.
template <class T, class Value>
ZTHANDLE create_label(Value&& value) {
    try {
        return make_object<T>(std::forward<Value>(value)).release();
    } catch (...) {
        frame::fail(ErrOutOfMemory, kObjectCreationFailed);
    }
}

template <class T>
T& label_of_class(ITavLabel& label) {
    auto* concrete = dynamic_cast<T*>(&label);
    if (concrete == nullptr)
        frame::fail(ErrIncompatible);
    return *concrete;
}

// The buffer protocol of the text getters: a null buffer asks for the size
// (terminator included); too small a buffer is answered without a report and
// leaves size and buffer untouched.
template <class Unit>
int32_t copy_text(const std::basic_string<Unit>& text, Unit* buffer, uint64_t& size) {
    const uint64_t needed = text.size() + 1;
    if (buffer == nullptr) {
        size = needed;
        return 0;
    }
    if (size < needed)
        return ErrBufferTooSmall;
    std::copy(text.begin(), text.end(), buffer);
    buffer[text.size()] = Unit{0};
    size = needed;
    return 0;
}

} // namespace

extern "C" {

TAVLABEL TavCreateStringLabel(const char* utf8) {
    return frame::handle("TavCreateStringLabel", [&](frame::Call&) {
        if (utf8 == nullptr || utf8[0] == '\0')
            frame::fail(ErrInvalidArgument);
        // Taken as UTF-8 already: stored unchanged.
        return create_label<CLabelString>(std::string(utf8));
    });
}

TAVLABEL TavCreateStringLabelW(const char16_t* text) {
    return frame::handle("TavCreateStringLabelW", [&](frame::Call&) {
        if (text == nullptr || text[0] == u'\0')
            frame::fail(ErrInvalidArgument);
        return create_label<CLabelString>(port::utf16_to_utf8(text));
    });
}

TAVLABEL TavCreateVectorLabel(const float* values, uint64_t count) {
    return frame::handle("TavCreateVectorLabel", [&](frame::Call&) {
        if (values == nullptr || count == 0)
            frame::fail(ErrInvalidArgument);
        return create_label<CLabelFloat32Vector>(api::copy_caller_floats(values, count));
    });
}

int32_t TavCompareLabels(TAVLABEL a, TAVLABEL b) {
    return frame::status("TavCompareLabels", [&](frame::Call& call) {
        auto& first = call.take<ITavLabel>(a);
        auto& second = call.take<ITavLabel>(b);
        return first.Compare(second);
    });
}

int32_t TavVerifyLabelCompatibility(TAVLABEL label, TAVLABELTYPE type) {
    return frame::status("TavVerifyLabelCompatibility", [&](frame::Call& call) {
        auto& l = call.take<ITavLabel>(label);
        auto& t = call.take<ITavLabelType>(type);
        return l.VerifyCompatibility(t) ? 1 : 0;
    });
}

int32_t TavGetStringLabel(TAVLABEL label, char* buffer, uint64_t* size) {
    return frame::status("TavGetStringLabel", [&](frame::Call& call) {
        auto& text = label_of_class<CLabelString>(call.take<ITavLabel>(label));
        uint64_t& in_out = frame::out(size);
        return copy_text(port::utf16_to_ansi(port::utf8_to_utf16(text.Text())), buffer, in_out);
    });
}

int32_t TavGetStringLabelW(TAVLABEL label, char16_t* buffer, uint64_t* size) {
    return frame::status("TavGetStringLabelW", [&](frame::Call& call) {
        auto& text = label_of_class<CLabelString>(call.take<ITavLabel>(label));
        uint64_t& in_out = frame::out(size);
        return copy_text(port::utf8_to_utf16(text.Text()), buffer, in_out);
    });
}

int32_t TavGetFloatVectorLabel(TAVLABEL label, float* buffer, uint64_t* count) {
    return frame::status("TavGetFloatVectorLabel", [&](frame::Call& call) {
        const auto& values = label_of_class<CLabelFloat32Vector>(call.take<ITavLabel>(label)).Values();
        api::copy_floats_out(values, buffer, frame::out(count));
    });
}

int32_t TavGetExcludedFlag(TAVLABEL label, int32_t* flag) {
    return frame::status("TavGetExcludedFlag", [&](frame::Call& call) {
        auto& l = call.take<ITavLabel>(label);
        frame::out(flag) = l.Excluded() ? 1 : 0;
    });
}

int32_t TavSetExcludedFlag(TAVLABEL label, int32_t flag) {
    return frame::status("TavSetExcludedFlag", [&](frame::Call& call) {
        call.take<ITavLabel>(label).SetExcluded(flag != 0);
    });
}

} // extern "C"

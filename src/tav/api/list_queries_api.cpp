// The list: metadata (dates, comment, types, mask data) and queries (counts,
// items by index and by label, links, indices, statistics).
#include <algorithm>
#include <cstdint>
#include <limits>
#include <string>

#include <tav/tav.h>

#include "tav/frame/call_frame.hpp"
#include "tav/list/sample_image_list_base.hpp"
#include "tav/port/text_conversion.hpp"

using namespace Korvu2::TAV;
using namespace Korvu2::TAV::Objects;

namespace {

bool in_range(int32_t index, std::size_t count) {
    return static_cast<uint64_t>(static_cast<int64_t>(index)) < count;
}

CSampleImageListBase& take_list(frame::Call& call, TAV list) {
    return AsList(call.take<ITav>(list));
}

// The metadata getters take the list with a plain add reference after the
// null test.
CSampleImageListBase& take_list_unchecked(frame::Call& call, TAV list) {
    return AsList(call.take_unchecked<ITav>(list));
}

// The buffer protocol of the comment getters; too small a buffer is reported
// under the shared inner name and leaves size and buffer untouched.
template <class Unit>
void copy_comment(std::basic_string<Unit> text, Unit* buffer, uint64_t& size) {
    text.resize(std::min(text.size(), text.find(Unit{0})));
    const uint64_t needed = text.size() + 1;
    if (buffer == nullptr) {
        size = needed;
        return;
    }
    if (size < needed)
        frame::fail(ErrBufferTooSmall, nullptr, "TavGetComment_native");
    std::copy(text.begin(), text.end(), buffer);
    buffer[text.size()] = Unit{0};
    size = needed;
}

// The one comment setter behind both exported ones.
int32_t set_comment_native(TAV list, const std::u16string& text) {
    return frame::status("TavSetComment_native", [&](frame::Call& call) {
        auto& target = take_list_unchecked(call, list);
        std::u16string value = text.substr(0, text.find(u'\0'));
        if (value.empty())
            frame::fail(ErrInvalidArgument);
        target.SetComment(port::utf16_to_utf8(value));
        target.Touch();
    });
}

} // namespace

extern "C" {

int32_t TavGetCreationDate(TAV list, SYSTEMTIME* time) {
    return frame::status("TavGetCreationDate", [&](frame::Call& call) {
        auto& target = take_list_unchecked(call, list);
        frame::out(time) = target.CreationTime();
    });
}

int32_t TavGetModificationDate(TAV list, SYSTEMTIME* time) {
    return frame::status("TavGetModificationDate", [&](frame::Call& call) {
        auto& target = take_list_unchecked(call, list);
        frame::out(time) = target.ModificationTime();
    });
}

int32_t TavGetComment(TAV list, char* buffer, uint64_t* size) {
    return frame::status("TavGetComment", [&](frame::Call& call) {
        auto& target = take_list_unchecked(call, list);
        uint64_t& capacity = frame::out(size);
        copy_comment(port::utf16_to_ansi(port::utf8_to_utf16(target.Comment())), buffer, capacity);
    });
}

int32_t TavGetCommentW(TAV list, char16_t* buffer, uint64_t* size) {
    return frame::status("TavGetCommentW", [&](frame::Call& call) {
        auto& target = take_list_unchecked(call, list);
        uint64_t& capacity = frame::out(size);
        copy_comment(port::utf8_to_utf16(target.Comment()), buffer, capacity);
    });
}

int32_t TavSetComment(TAV list, const char* text) {
    return frame::status("TavSetComment", [&](frame::Call&) {
        if (text == nullptr)
            frame::fail(ErrInvalidArgument);
        return set_comment_native(list, port::ansi_to_utf16(text));
    });
}

int32_t TavSetCommentW(TAV list, const char16_t* text) {
    return frame::status("TavSetCommentW", [&](frame::Call&) {
        if (text == nullptr)
            frame::fail(ErrInvalidArgument);
        return set_comment_native(list, std::u16string(text));
    });
}

TAVLABELTYPE TavGetLabelType(TAV list) {
    return frame::handle("TavGetLabelType", [&](frame::Call& call) {
        return take_list_unchecked(call, list).LabelTypeHandle().handle();
    });
}

TAVDATATYPE TavGetDataType(TAV list) {
    return frame::handle("TavGetDataType", [&](frame::Call& call) {
        return take_list_unchecked(call, list).DataTypeHandle().handle();
    });
}

// Both read the type through the getter, so an invalid list is reported
// twice: by the getter, then here.
int32_t TavGetLabelTypeEnum(TAV list) {
    return frame::count("TavGetLabelTypeEnum", [&](frame::Call& call) {
        return call.take<ITavLabelType>(TavGetLabelType(list)).TypeEnum();
    });
}

int32_t TavGetDataTypeEnum(TAV list) {
    return frame::count("TavGetDataTypeEnum", [&](frame::Call& call) {
        return call.take<ITavDataType>(TavGetDataType(list)).TypeEnum();
    });
}

TAVDATA TavGetMaskData(TAV list) {
    return frame::handle("TavGetMaskData", [&](frame::Call& call) {
        return take_list(call, list).MaskData().handle();
    });
}

int32_t TavSetMaskData(TAV list, TAVDATA data) {
    return frame::status("TavSetMaskData", [&](frame::Call& call) {
        auto& target = take_list(call, list);
        auto& mask = call.take<ITavData>(data);
        if (!mask.VerifyCompatibility(target.DataType()))
            frame::fail(ErrIncompatible);
        target.SetMaskData(SharedHandle<ITavData>::share(data, &mask));
        target.Touch();
    });
}

int32_t TavGetNumDataEntries(TAV list) {
    return frame::count("TavGetNumDataEntries", [&](frame::Call& call) {
        return static_cast<int32_t>(take_list(call, list).DataCount());
    });
}

int32_t TavGetNumLabelEntries(TAV list) {
    return frame::count("TavGetNumLabelEntries", [&](frame::Call& call) {
        return static_cast<int32_t>(take_list(call, list).LabelCount());
    });
}

TAVDATA TavGetData(TAV list, int32_t index) {
    return frame::handle("TavGetData", [&](frame::Call& call) -> ZTHANDLE {
        auto& target = take_list(call, list);
        return in_range(index, target.DataCount()) ? target.DataAt(static_cast<std::size_t>(index)).handle() : 0;
    });
}

TAVLABEL TavGetLabel(TAV list, int32_t index) {
    return frame::handle("TavGetLabel", [&](frame::Call& call) -> ZTHANDLE {
        auto& target = take_list(call, list);
        return in_range(index, target.LabelCount()) ? target.LabelAt(static_cast<std::size_t>(index)).handle() : 0;
    });
}

int32_t TavGetNumDataReferences(TAVLABEL label) {
    return frame::count("TavGetNumDataReferences", [&](frame::Call& call) {
        return static_cast<int32_t>(call.take<ITavLabel>(label).DataReferences().size());
    });
}

int32_t TavGetNumDataReferencesByLabel(TAV list, int32_t labelIndex) {
    return frame::count("TavGetNumDataReferencesByLabel", [&](frame::Call&) {
        if (!(labelIndex < TavGetNumLabelEntries(list)))
            frame::fail(ErrIndexOutOfRange, "invalid label index");
        return TavGetNumDataReferences(TavGetLabel(list, labelIndex));
    });
}

TAVDATA TavGetDataReference(TAVLABEL label, int32_t index) {
    return frame::handle("TavGetDataReference", [&](frame::Call& call) -> ZTHANDLE {
        const auto& references = call.take<ITavLabel>(label).DataReferences();
        if (!in_range(index, references.size()))
            return 0;
        // Raises bad_weak_ptr if the item has gone; the list keeps it alive.
        return references[static_cast<std::size_t>(index)].lock().handle();
    });
}

TAVDATA TavGetDataByLabel(TAV list, int32_t labelIndex, int32_t dataIndex) {
    return frame::handle("TavGetDataByLabel", [&](frame::Call&) {
        if (!(labelIndex < TavGetNumLabelEntries(list)))
            frame::fail(ErrIndexOutOfRange, "Invalid label index");
        TAVLABEL label = TavGetLabel(list, labelIndex);
        if (!(dataIndex < TavGetNumDataReferences(label)))
            frame::fail(ErrIndexOutOfRange, "Invalid label data index");
        return TavGetDataReference(label, dataIndex);
    });
}

int32_t TavGetNumLabelReferences(TAVDATA data) {
    return frame::count("TavGetNumLabelReferences", [&](frame::Call& call) {
        return call.take<ITavData>(data).Label() ? 1 : 0;
    });
}

TAVLABEL TavGetLabelReference(TAVDATA data, int32_t index) {
    return frame::handle("TavGetLabelReference", [&](frame::Call& call) {
        auto& item = call.take<ITavData>(data);
        if (index != 0)
            frame::fail(ErrIndexOutOfRange);
        return item.Label().handle();
    });
}

int32_t TavGetDataIndex(TAV list, TAVDATA data) {
    return frame::count("TavGetDataIndex", [&](frame::Call& call) {
        auto& item = call.take<ITavData>(data);
        auto found = take_list(call, list).FindData(item);
        return found ? static_cast<int32_t>(*found) : -1;
    });
}

int32_t TavGetLabelIndex(TAV list, TAVLABEL label) {
    return frame::count("TavGetLabelIndex", [&](frame::Call& call) {
        auto& wanted = call.take<ITavLabel>(label);
        auto found = take_list(call, list).FindLabel(wanted);
        return found ? static_cast<int32_t>(*found) : -1;
    });
}

int32_t TavGetStatistics(TAV list, int64_t* labelCount, int64_t* minimum, int64_t* maximum, double* mean) {
    return frame::status("TavGetStatistics", [&](frame::Call& call) {
        auto& target = take_list(call, list);
        int64_t& count = frame::out(labelCount);
        int64_t& low = frame::out(minimum);
        int64_t& high = frame::out(maximum);
        double& average = frame::out(mean);
        count = low = high = 0;
        average = 0.0;
        count = static_cast<int64_t>(target.LabelCount());
        if (count == 0)
            return;
        int64_t least = std::numeric_limits<int32_t>::max();
        int64_t most = std::numeric_limits<int32_t>::min();
        int64_t sum = 0;
        for (std::size_t i = 0; i < target.LabelCount(); ++i) {
            int64_t references = static_cast<int64_t>(target.LabelAt(i)->DataReferences().size());
            least = std::min(least, references);
            most = std::max(most, references);
            sum += references;
        }
        low = least;
        high = most;
        average = static_cast<double>(sum) / static_cast<double>(count);
    });
}

} // extern "C"

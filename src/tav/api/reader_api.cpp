// The list file reader: a stored list read item by item without making a list.
#include <algorithm>
#include <cstdint>
#include <cstring>
#include <string>

#include <tav/tav.h>

#include "tav/api/item_buffer.hpp"
#include "tav/frame/call_frame.hpp"
#include "tav/frame/interface_ids.hpp"
#include "tav/frame/make_object.hpp"
#include "tav/port/local_time.hpp"
#include "tav/port/paths.hpp"
#include "tav/store/list_file_reader.hpp"
#include "tav/types/data_type_float32_vector.hpp"
#include "tav/types/data_type_image.hpp"
#include "tav/types/label_type_float32_vector.hpp"
#include "tav/xriff/errors.hpp"

using namespace Korvu2::TAV;
using namespace Korvu2::TAV::Objects;

namespace Korvu2::TAV {

// The reader as a base-library object. An open reader never changes, so its
// functions take no lock.
class CTavReader : public ZTK::IDisposableType {
public:
    int32_t GetInterfaces(ZTK::ZtInterfacePair* pairs, uint64_t* count) override {
        return Objects::list_single_interface(pairs, count, interface_id(Family::Reader), this);
    }

    store::ListFileReader reader;
    // A file without time chunks has the time it was opened, as a loaded list.
    SYSTEMTIME opened = port::local_time_now();
};

template <>
struct interface_family<CTavReader> {
    static constexpr Family value = Family::Reader;
};

} // namespace Korvu2::TAV

namespace {

// Both open functions report every failure of the open under this name.
constexpr const char* kOpenNative = "TavReaderOpen_native";

void open_native(const std::string& fsPath, TAVREADER& out) {
    SharedHandle<CTavReader> object = make_object<CTavReader>();
    // Items taken on trust cost a check of their headers instead of a walk.
    store::ListFileReader& reader = object->reader;
    const int32_t code = reader.settle(reader.open(fsPath, true));
    if (code != 0)
        frame::fail(code, nullptr, kOpenNative);
    out = object.release();
}

CTavReader& take_reader(frame::Call& call, TAVREADER reader) { return call.take<CTavReader>(reader); }

// Items first .. first + count - 1 must be items of the reader.
void check_range(int64_t first, int64_t count, std::size_t total) {
    if (first < 0 || count < 0 || static_cast<uint64_t>(first) > total ||
        static_cast<uint64_t>(count) > total - static_cast<uint64_t>(first))
        frame::fail(ErrIndexOutOfRange);
}

// A damaged payload, or a file that has become shorter since it was opened.
template <class Read>
void read_checked(Read read) {
    try {
        read();
    } catch (const std::xriff_io_error&) {
        frame::fail(ErrFile);
    }
}

} // namespace

extern "C" {

int32_t TavReaderOpen(const char* path, TAVREADER* reader) {
    return frame::status("TavReaderOpen", [&](frame::Call&) {
        TAVREADER& out = frame::out(reader);
        open_native(port::narrow_path_to_fs(path), out);
    });
}

int32_t TavReaderOpenW(const char16_t* path, TAVREADER* reader) {
    return frame::status("TavReaderOpenW", [&](frame::Call&) {
        TAVREADER& out = frame::out(reader);
        open_native(port::wide_path_to_fs(path), out);
    });
}

int32_t IsTavReader(ZTHANDLE h) { return frame::is_family<CTavReader>(h); }

int32_t TavReaderGetInfo(TAVREADER reader, TavReaderInfo* info) {
    return frame::status("TavReaderGetInfo", [&](frame::Call& call) {
        const store::ListFileReader& r = take_reader(call, reader).reader;
        TavReaderInfo& out = frame::out(info);
        TavReaderInfo i{};
        i.itemCount = static_cast<int64_t>(r.item_count());
        i.labelCount = static_cast<int32_t>(r.labels().size());
        i.labelTypeEnum = r.label_type()->TypeEnum();
        i.dataTypeEnum = r.data_type()->TypeEnum();
        if (auto* image = dynamic_cast<const CDataTypeImage*>(r.data_type().get())) {
            i.width = image->Width();
            i.height = image->Height();
            i.planes = image->Planes();
            i.pixelDataType = image->PixelDataType();
        } else {
            i.pixelDataType = ZT_DT_F32;
            i.dimension = static_cast<uint64_t>(dynamic_cast<const CDataTypeFloat32Vector&>(*r.data_type()).Dimension());
        }
        if (auto* vector = dynamic_cast<const CLabelTypeFloat32Vector*>(r.label_type().get()))
            i.labelDimension = static_cast<uint64_t>(vector->Dimension());
        i.itemSize = r.form().item_size;
        out = i;
    });
}

TAVLABELTYPE TavReaderGetLabelType(TAVREADER reader) {
    return frame::handle("TavReaderGetLabelType",
                         [&](frame::Call& call) { return take_reader(call, reader).reader.label_type().handle(); });
}

TAVDATATYPE TavReaderGetDataType(TAVREADER reader) {
    return frame::handle("TavReaderGetDataType",
                         [&](frame::Call& call) { return take_reader(call, reader).reader.data_type().handle(); });
}

TAVLABEL TavReaderGetLabel(TAVREADER reader, int32_t labelIndex) {
    return frame::handle("TavReaderGetLabel", [&](frame::Call& call) {
        const auto& labels = take_reader(call, reader).reader.labels();
        check_range(labelIndex, 1, labels.size());
        return labels[static_cast<std::size_t>(labelIndex)].handle();
    });
}

TAVDATA TavReaderGetMaskData(TAVREADER reader) {
    return frame::handle("TavReaderGetMaskData",
                         [&](frame::Call& call) { return take_reader(call, reader).reader.mask().handle(); });
}

int32_t TavReaderGetComment(TAVREADER reader, char* buffer, uint64_t* size) {
    return frame::status("TavReaderGetComment", [&](frame::Call& call) {
        const std::string& stored = take_reader(call, reader).reader.comment();
        uint64_t& capacity = frame::out(size);
        // A list keeps its comment up to the first NUL.
        const std::size_t length = std::min(stored.size(), stored.find('\0'));
        const uint64_t needed = length + 1;
        if (buffer == nullptr) {
            capacity = needed;
            return;
        }
        if (capacity < needed)
            frame::fail(ErrBufferTooSmall);
        std::memcpy(buffer, stored.data(), length);
        buffer[length] = '\0';
        capacity = needed;
    });
}

int32_t TavReaderGetTimes(TAVREADER reader, SYSTEMTIME* creation, SYSTEMTIME* modification) {
    return frame::status("TavReaderGetTimes", [&](frame::Call& call) {
        const CTavReader& object = take_reader(call, reader);
        if (creation == nullptr && modification == nullptr)
            frame::fail(ErrInvalidArgument);
        if (creation != nullptr)
            *creation = object.reader.creation_time().value_or(object.opened);
        if (modification != nullptr)
            *modification = object.reader.modification_time().value_or(object.opened);
    });
}

int32_t TavReaderGetItemLabels(TAVREADER reader, int64_t first, int64_t count, int32_t* labelIndices) {
    return frame::status("TavReaderGetItemLabels", [&](frame::Call& call) {
        const store::ListFileReader& r = take_reader(call, reader).reader;
        check_range(first, count, r.item_count());
        if (count > 0 && labelIndices == nullptr)
            frame::fail(ErrInvalidArgument);
        for (int64_t k = 0; k < count; ++k) {
            const uint32_t label = r.item_label(static_cast<std::size_t>(first + k));
            labelIndices[k] = label == store::ListFileReader::kNoLabel ? -1 : static_cast<int32_t>(label);
        }
    });
}

int32_t TavReaderReadRange(TAVREADER reader, int64_t first, int64_t count, void* buffer, uint64_t bufferSize) {
    return frame::status("TavReaderReadRange", [&](frame::Call& call) {
        const store::ListFileReader& r = take_reader(call, reader).reader;
        check_range(first, count, r.item_count());
        api::check_item_buffer(buffer, bufferSize, count, r.form().item_size);
        read_checked([&] {
            r.read_range(static_cast<std::size_t>(first), static_cast<std::size_t>(count), buffer);
        });
    });
}

int32_t TavReaderReadItems(TAVREADER reader, const int64_t* indices, int64_t count, void* buffer,
                           uint64_t bufferSize) {
    return frame::status("TavReaderReadItems", [&](frame::Call& call) {
        const store::ListFileReader& r = take_reader(call, reader).reader;
        if (count < 0 || (count > 0 && indices == nullptr))
            frame::fail(ErrInvalidArgument);
        for (int64_t k = 0; k < count; ++k)
            check_range(indices[k], 1, r.item_count());
        api::check_item_buffer(buffer, bufferSize, count, r.form().item_size);
        read_checked([&] { r.read_items(indices, static_cast<std::size_t>(count), buffer); });
    });
}

} // extern "C"

#include "tav/store/list_load.hpp"

#include <filesystem>
#include <optional>
#include <stdexcept>
#include <vector>

#include "tav/frame/error_codes.hpp"
#include "tav/frame/make_object.hpp"
#include "tav/list/sample_image_list.hpp"
#include "tav/samples/data_float32_vector.hpp"
#include "tav/samples/data_image.hpp"
#include "tav/samples/label_float32_vector.hpp"
#include "tav/samples/label_string.hpp"
#include "tav/store/list_file_layout.hpp"
#include "tav/store/systemtime_stream.hpp"
#include "tav/types/type_words.hpp"

namespace Korvu2::TAV::store {

using namespace Objects;
using Directory = vxIO::xriff_directory;
using Entry = Directory::chunkdata_t;
namespace chunk = vxIO::xriff_type;

namespace {

[[noreturn]] void corrupt() { throw std::xriff_io_error(kCorruptFile); }

const Entry* find(const Directory& directory, const vxIO::xriff_fixed_string<8>& type,
                  const vxIO::xriff_fixed_string<16>& name = {}) {
    auto it = directory.find(type, name);
    return it == directory.end() ? nullptr : &*it;
}

StoredPayload view(const std::vector<char>& bytes) { return {bytes.data(), bytes.size()}; }

// The payload of an entry, in a buffer that the next entry reuses. Every entry
// of the directory lies inside the file, so the buffer never outgrows it.
const std::vector<char>& read_into(Directory& directory, const Entry& entry, std::vector<char>& buffer) {
    if (entry.size > directory.reader().size())
        throw std::xriff_eof_error();
    buffer.resize(entry.size);
    directory.read_at(entry, buffer.data(), entry.size);
    return buffer;
}

// The payload as 32-bit words; its size must be a whole number of units of
// `unit` bytes (4 for a word, 8 for a pair).
std::vector<uint32_t> read_words(Directory& directory, const Entry& entry, uint64_t unit) {
    if (entry.size % unit != 0)
        corrupt();
    const std::vector<char> bytes = directory.read_payload(entry);
    std::vector<uint32_t> words(bytes.size() / 4);
    for (std::size_t i = 0; i < words.size(); ++i)
        words[i] = type_words::word_at(reinterpret_cast<const uint8_t*>(bytes.data()), i);
    return words;
}

// A type object from the first chunk of its type with no name: the class
// for enum 0 or the class for enum 1, each of which checks its own words.
template <class Interface, class Enum0Class, class Enum1Class>
SharedHandle<Interface> make_type(Directory& directory, const vxIO::xriff_fixed_string<8>& type) {
    const Entry* entry = find(directory, type);
    if (entry == nullptr)
        throw std::runtime_error(kInvalidTypeDescriptors);
    const std::vector<char> bytes = directory.read_payload(*entry);
    switch (type_words::stored_type_enum(bytes.data(), bytes.size()).value_or(-1)) {
    case Enum0Class::kTypeEnum:
        return make_object<Enum0Class>(bytes.data(), bytes.size());
    case Enum1Class::kTypeEnum:
        return make_object<Enum1Class>(bytes.data(), bytes.size());
    default:
        throw std::runtime_error(kInvalidTypeDescriptors);
    }
}

std::optional<SYSTEMTIME> read_time(Directory& directory, const vxIO::xriff_fixed_string<16>& name) {
    const Entry* entry = find(directory, chunk::system_time, name);
    if (entry == nullptr)
        return std::nullopt;
    SYSTEMTIME time;
    directory.read_at(*entry, &time, systemtime_stream::kStoredSize);
    return time;
}

// A data entry from one child of "TavData"; empty when the child is not one.
SharedHandle<ITavData> make_data(const Entry& entry, const std::vector<char>& bytes) {
    try {
        if (entry.type == chunk::image)
            return make_object<CDataImage>(view(bytes));
        if (entry.type == chunk::array_f32)
            return make_object<CDataFloat32Vector>(view(bytes));
    } catch (const invalid_stored_form&) {
    }
    return {};
}

SharedHandle<ITavLabel> make_label(const Entry& entry, const std::vector<char>& bytes) {
    try {
        if (entry.type == chunk::text_utf8)
            return make_object<CLabelString>(view(bytes));
        if (entry.type == chunk::array_f32)
            return make_object<CLabelFloat32Vector>(view(bytes));
    } catch (const invalid_stored_form&) {
    }
    return {};
}

// Every child of the composite (grandchildren included) must become an entry
// that fits the list's type.
template <class Make, class Fits, class Append>
void read_entries(Directory& directory, const vxIO::xriff_fixed_string<16>& name, Make make, Fits fits,
                  Append append) {
    auto composite = directory.find(chunk::composite, name);
    if (composite == directory.end())
        return;
    std::vector<char> buffer;
    for (const Entry& child : directory.children(composite)) {
        auto object = make(child, read_into(directory, child, buffer));
        if (!object || !fits(*object))
            corrupt();
        append(std::move(object));
    }
}

// The children of "TavData" as objects of class T (the class the list's data
// type calls for), made in bulk; a child of another type, or one whose bytes
// do not make a T that fits the type, makes the file corrupt.
template <class T>
void read_data(Directory& directory, const vxIO::xriff_fixed_string<8>& type, CSampleImageListBase& list) {
    auto composite = directory.find(chunk::composite, kDataName);
    if (composite == directory.end())
        return;
    const auto children = directory.children(composite);
    std::vector<char> buffer;
    auto child = children.begin();
    const auto count = static_cast<std::size_t>(std::distance(children.begin(), children.end()));
    const ITavDataType& dataType = list.DataType();
    make_objects<T>(
        count,
        [&](std::size_t) {
            const Entry& entry = *child++;
            if (entry.type != type)
                corrupt();
            return view(read_into(directory, entry, buffer));
        },
        [&](SharedHandle<T> d) {
            if (!d->VerifyCompatibility(dataType))
                corrupt();
            list.AppendData(std::move(d));
        });
}

void read_links(Directory& directory, CSampleImageListBase& list) {
    const Entry* entry = find(directory, chunk::array_u32, kReferencesName);
    if (entry == nullptr)
        return;
    const std::vector<uint32_t> pairs = read_words(directory, *entry, 8);
    const std::size_t labels = list.LabelCount();
    const std::size_t data = list.DataCount();

    // Checked in full before the first link.
    std::vector<bool> linked(data);
    for (std::size_t i = 0; i < pairs.size(); i += 2) {
        const uint32_t l = pairs[i], d = pairs[i + 1];
        // A data entry in two pairs would sit in two labels' references.
        if (l >= labels || d >= data || linked[d])
            corrupt();
        linked[d] = true;
    }
    list.LinkPairs(pairs.data(), pairs.size() / 2);
}

void read_excluded(Directory& directory, CSampleImageListBase& list) {
    const Entry* entry = find(directory, chunk::array_u32, kExcludedName);
    if (entry == nullptr)
        return;
    for (uint32_t l : read_words(directory, *entry, 4)) {
        if (l >= list.LabelCount())
            corrupt();
        list.LabelAt(l)->SetExcluded(true);
    }
}

// Mask data that cannot be read or does not fit the data type is dropped.
void read_mask(Directory& directory, CSampleImageListBase& list) {
    const bool image = list.DataType().TypeEnum() == CDataTypeImage::kTypeEnum;
    const Entry* entry = find(directory, image ? chunk::image : chunk::array_f32, kMaskName);
    if (entry == nullptr)
        return;
    SharedHandle<ITavData> mask = make_data(*entry, directory.read_payload(*entry));
    if (mask && mask->VerifyCompatibility(list.DataType()))
        list.SetMaskData(std::move(mask));
}

// The first text chunk at or after "TavInfo2", whatever its name and level.
void read_comment(Directory& directory, CSampleImageListBase& list) {
    auto it = directory.find(chunk::composite, kInfoName);
    for (; it != directory.end(); ++it) {
        if (it->type == chunk::text_utf8) {
            const std::vector<char> bytes = directory.read_payload(*it);
            list.SetComment(std::string(bytes.begin(), bytes.end()));
            return;
        }
    }
}

LoadResult load(Directory& directory) {
    // The form of the list: both type chunks must be there and lead with a known enum.
    const Entry* data_type = find(directory, chunk::data_type);
    const Entry* label_type = find(directory, chunk::label_type);
    if (data_type == nullptr || label_type == nullptr)
        return {ErrInvalidOperation, {}};
    uint32_t data_enum = 0, label_enum = 0;
    try {
        directory.read_at(*data_type, &data_enum, 4);
        directory.read_at(*label_type, &label_enum, 4);
    } catch (...) {
        return {ErrFile, {}};
    }
    if (data_enum > 1 || label_enum > 1)
        return {ErrInvalidOperation, {}};

    SharedHandle<ITav> list;
    try {
        list = build_list(directory);
    } catch (...) {
        return {ErrFile, {}};
    }
    if (!list)
        return {ErrInvalidOperation, {}};
    return {0, std::move(list)};
}

template <class Open>
LoadResult open_and_load(Open open) {
    Directory directory;
    try {
        open(directory);
        directory.read_header();
        directory.build();
    } catch (...) {
        return {ErrFile, {}};
    }
    return load(directory);
}

} // namespace

SharedHandle<ITav> build_list(Directory& directory) {
    SharedHandle<ITavLabelType> label_type =
        make_type<ITavLabelType, CLabelTypeString, CLabelTypeFloat32Vector>(directory, chunk::label_type);
    SharedHandle<ITavDataType> data_type =
        make_type<ITavDataType, CDataTypeImage, CDataTypeFloat32Vector>(directory, chunk::data_type);
    SharedHandle<ITav> handle = make_list(label_type, data_type);
    if (!handle)
        return {};
    CSampleImageListBase& list = AsList(*handle);

    // The list was made just now: its own times are the time of loading.
    const SYSTEMTIME creation = read_time(directory, kCreationTimeName).value_or(list.CreationTime());
    const SYSTEMTIME modification = read_time(directory, kModificationTimeName).value_or(list.ModificationTime());
    list.SetTimes(creation, modification);

    try {
        if (data_type->TypeEnum() == CDataTypeImage::kTypeEnum)
            read_data<CDataImage>(directory, chunk::image, list);
        else
            read_data<CDataFloat32Vector>(directory, chunk::array_f32, list);
    } catch (const invalid_stored_form&) {
        corrupt();
    }
    read_entries(
        directory, kLabelsName, make_label, [&](const ITavLabel& l) { return l.VerifyCompatibility(*label_type); },
        [&](SharedHandle<ITavLabel> l) { list.AppendLabel(std::move(l)); });
    read_links(directory, list);
    read_excluded(directory, list);
    read_mask(directory, list);
    read_comment(directory, list);
    list.RecheckOrder();
    return handle;
}

LoadResult load_list_file(const std::string& fs_path) {
    return open_and_load([&](Directory& directory) { directory.open(std::filesystem::path(fs_path)); });
}

LoadResult load_list_bytes(std::string bytes) {
    return open_and_load([&](Directory& directory) { directory.open_memory(std::move(bytes)); });
}

} // namespace Korvu2::TAV::store

#include "tav/store/list_load.hpp"

#include <type_traits>
#include <vector>

#include "tav/frame/error_codes.hpp"
#include "tav/frame/make_object.hpp"
#include "tav/frame/two_halves.hpp"
#include "tav/list/sample_image_list.hpp"
#include "tav/samples/data_float32_vector.hpp"
#include "tav/samples/data_image.hpp"
#include "tav/types/data_type_float32_vector.hpp"
#include "tav/types/data_type_image.hpp"
#include "tav/store/list_file_layout.hpp"
#include "tav/xriff/chunk_types.hpp"
#include "tav/xriff/errors.hpp"

namespace Korvu2::TAV::store {

using namespace Objects;

namespace {

// The links from the reader's index: each item's label, and each label's
// references in the order of the stored pairs, which the reader keeps only
// when some label's items are not in data order.
void link(const ListFileReader& reader, CSampleImageListBase& list) {
    const ListFileReader::Words& pairs = reader.out_of_order_pairs();
    list.LinkItems([&](std::size_t d) { return reader.item_label(d); }, pairs.empty() ? nullptr : pairs.data(),
                   pairs.size() / 2);
}

// Items first .. first + count - 1 made from their payloads as objects of
// class T (the class of the list's data type), in bulk, each checked against
// the data type and handed to append in order.
template <class T, class Append>
void make_items(const ListFileReader& reader, const ITavDataType& data_type, std::size_t first, std::size_t count,
                Append append) {
    // The type's class, cast once: each item is checked as VerifyCompatibility checks it.
    using TypeClass = std::conditional_t<std::is_same_v<T, CDataImage>, CDataTypeImage, CDataTypeFloat32Vector>;
    const auto* type = dynamic_cast<const TypeClass*>(&data_type);
    auto checked = [&](SharedHandle<T> data) {
        if (type == nullptr || !data->Fits(*type))
            throw std::xriff_io_error(kCorruptFile);
        append(std::move(data));
    };
    object_batch<T, decltype(checked)> batch(count, checked);
    reader.visit_payloads(first, count, [&](std::size_t, const char* bytes, uint64_t size) {
        try {
            batch.add(StoredPayload{bytes, size});
        } catch (const invalid_stored_form&) {
            throw std::xriff_io_error(kCorruptFile);
        }
    });
    batch.finish();
}

// Every item of the file, made on two threads when the list is large: the
// second half into a sequence of its own, joined to the list after the first
// half. Any failure of either half fails the load.
template <class T>
void make_all_items(const ListFileReader& reader, CSampleImageListBase& list) {
    const ITavDataType& data_type = list.DataType();
    const std::size_t count = reader.item_count();
    const uint64_t bytes = count == 0 ? 0 : count * reader.item_payload(0).size;
    BlockSequence<SharedHandle<ITavData>> second;
    in_two_halves(count, bytes, [&](std::size_t first, std::size_t n) {
        if (first == 0)
            make_items<T>(reader, data_type, 0, n, [&](SharedHandle<T> data) { list.AppendData(std::move(data)); });
        else
            make_items<T>(reader, data_type, first, n, [&](SharedHandle<T> data) { second.push_back(std::move(data)); });
    });
    list.AppendData(std::move(second));
}

LoadResult load_once(ListFileReader& reader, int32_t code) {
    if (code != 0)
        return {code, {}};
    SharedHandle<ITav> list;
    try {
        list = materialise_list(reader);
    } catch (...) {
        return {ErrFile, {}};
    }
    if (!list)
        return {ErrInvalidOperation, {}};
    return {0, std::move(list)};
}

// The items are taken on trust, so that each payload window is read once:
// a load that succeeds has checked every item's header. Any failure is
// decided again from an index of every chunk header, which gives the
// verdict a damaged file always gets.
LoadResult load(ListFileReader& reader, int32_t code) {
    if (!reader.trusted())
        return load_once(reader, code);
    LoadResult result = load_once(reader, code);
    if (result.code == 0)
        return result;
    result = {};
    code = reader.reindex();
    return load_once(reader, code);
}

} // namespace

SharedHandle<ITav> materialise_list(ListFileReader& reader) {
    SharedHandle<ITav> handle = make_list(reader.label_type(), reader.data_type());
    if (!handle)
        return {};
    CSampleImageListBase& list = AsList(*handle);

    // The list was made just now: its own times are the time of loading.
    list.SetTimes(reader.creation_time().value_or(list.CreationTime()),
                  reader.modification_time().value_or(list.ModificationTime()));

    // Every item must become data that fits the data type.
    if (reader.form().image)
        make_all_items<CDataImage>(reader, list);
    else
        make_all_items<CDataFloat32Vector>(reader, list);
    for (SharedHandle<ITavLabel>& label : reader.take_labels())
        list.AppendLabel(std::move(label));
    link(reader, list);
    if (reader.mask())
        list.SetMaskData(reader.mask());
    if (!reader.comment().empty())
        list.SetComment(reader.comment());
    list.RecheckOrder();
    return handle;
}

LoadResult load_list_file(const std::string& fs_path) {
    ListFileReader reader;
    const int32_t code = reader.open(fs_path, true);
    return load(reader, code);
}

LoadResult load_list_bytes(std::string bytes) {
    ListFileReader reader;
    const int32_t code = reader.open_bytes(std::move(bytes), true);
    return load(reader, code);
}

} // namespace Korvu2::TAV::store

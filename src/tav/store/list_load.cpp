#include "tav/store/list_load.hpp"

#include <vector>

#include "tav/frame/error_codes.hpp"
#include "tav/frame/make_object.hpp"
#include "tav/list/sample_image_list.hpp"
#include "tav/samples/data_float32_vector.hpp"
#include "tav/samples/data_image.hpp"
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
    const std::vector<uint32_t>& pairs = reader.out_of_order_pairs();
    list.LinkItems([&](std::size_t d) { return reader.item_label(d); }, pairs.empty() ? nullptr : pairs.data(),
                   pairs.size() / 2);
}

// Every item made from its payload as an object of class T (the class of the
// list's data type) in bulk, and checked against the data type.
template <class T>
void make_items(const ListFileReader& reader, CSampleImageListBase& list) {
    const ITavDataType& data_type = list.DataType();
    auto append = [&](SharedHandle<T> data) {
        if (!data->VerifyCompatibility(data_type))
            throw std::xriff_io_error(kCorruptFile);
        list.AppendData(std::move(data));
    };
    object_batch<T, decltype(append)> batch(reader.item_count(), append);
    reader.visit_payloads(0, reader.item_count(), [&](std::size_t, const char* bytes, uint64_t size) {
        try {
            batch.add(StoredPayload{bytes, size});
        } catch (const invalid_stored_form&) {
            throw std::xriff_io_error(kCorruptFile);
        }
    });
    batch.finish();
}

LoadResult load(ListFileReader& reader, int32_t code) {
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
        make_items<CDataImage>(reader, list);
    else
        make_items<CDataFloat32Vector>(reader, list);
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
    const int32_t code = reader.open(fs_path);
    return load(reader, code);
}

LoadResult load_list_bytes(std::string bytes) {
    ListFileReader reader;
    const int32_t code = reader.open_bytes(std::move(bytes));
    return load(reader, code);
}

} // namespace Korvu2::TAV::store

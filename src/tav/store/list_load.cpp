#include "tav/store/list_load.hpp"

#include <vector>

#include "tav/frame/error_codes.hpp"
#include "tav/list/sample_image_list.hpp"
#include "tav/store/list_file_layout.hpp"
#include "tav/xriff/chunk_types.hpp"
#include "tav/xriff/errors.hpp"

namespace Korvu2::TAV::store {

using namespace Objects;

namespace {

// The links from the reader's index. The items' own links are set in data
// order, which walks their objects once in the order they were made. Each
// label's references follow the stored pairs: when every label's items came
// in data order the reader kept only each item's label, and the same walk
// gives them.
void link(const ListFileReader& reader, CSampleImageListBase& list) {
    const std::size_t labels = list.LabelCount(), data = list.DataCount();
    const std::vector<uint32_t>& pairs = reader.out_of_order_pairs();
    std::vector<std::size_t> per_label(labels);
    for (std::size_t d = 0; d < data; ++d)
        if (reader.item_label(d) != ListFileReader::kNoLabel)
            ++per_label[reader.item_label(d)];
    for (std::size_t l = 0; l < labels; ++l)
        list.LabelAt(l)->DataReferences().reserve(per_label[l]);
    if (!pairs.empty()) {
        for (std::size_t i = 0; i < pairs.size(); i += 2)
            list.LabelAt(pairs[i])->DataReferences().emplace_back(list.DataAt(pairs[i + 1]).handle());
    }
    for (std::size_t d = 0; d < data; ++d) {
        const uint32_t l = reader.item_label(d);
        if (l == ListFileReader::kNoLabel)
            continue;
        if (pairs.empty())
            list.LabelAt(l)->DataReferences().emplace_back(list.DataAt(d).handle());
        list.DataAt(d)->SetLabelLink(LinkHandle<ITavLabel>(list.LabelAt(l).handle()));
    }
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
    const ITavDataType& data_type = list.DataType();
    const vxIO::xriff_fixed_string<8> chunk_type = reader.form().image ? vxIO::xriff_type::image
                                                                       : vxIO::xriff_type::array_f32;
    reader.visit_payloads(0, reader.item_count(), [&](std::size_t, const char* bytes, uint64_t size) {
        SharedHandle<ITavData> data = make_stored_data(chunk_type, bytes, size);
        if (!data || !data->VerifyCompatibility(data_type))
            throw std::xriff_io_error(kCorruptFile);
        list.AppendData(std::move(data));
    });
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

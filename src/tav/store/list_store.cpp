#include "tav/store/list_store.hpp"

#include <cstring>
#include <vector>

#include "tav/frame/error_codes.hpp"
#include "tav/store/list_file_layout.hpp"
#include "tav/store/reference_pairs.hpp"
#include "tav/store/replacement_file.hpp"
#include "tav/store/systemtime_stream.hpp"

namespace Korvu2::TAV::store {

using namespace Objects;
using vxIO::set_chunk_name;

void write_list(vxIO::xriff_ofstream& writer, const CSampleImageListBase& list) {
    // The entries take their chunk names from the pending name; they have none of their own.
    writer << set_chunk_name(kDataName);
    writer.open_composite();
    for (std::size_t d = 0; d < list.DataCount(); ++d)
        writer.write_object(*list.DataAt(d));
    writer.close_composite();

    writer << set_chunk_name(kLabelsName);
    writer.open_composite();
    for (std::size_t l = 0; l < list.LabelCount(); ++l)
        writer.write_object(*list.LabelAt(l));
    writer.close_composite();

    writer << set_chunk_name(kReferencesName);
    writer.write_u32_array({}, reference_pairs(list));

    std::vector<uint32_t> excluded;
    for (std::size_t l = 0; l < list.LabelCount(); ++l)
        if (list.LabelAt(l)->Excluded())
            excluded.push_back(static_cast<uint32_t>(l));
    if (!excluded.empty()) {
        writer << set_chunk_name(kExcludedName);
        writer.write_u32_array({}, excluded);
    }

    if (const SharedHandle<ITavData>& mask = list.MaskData()) {
        writer << set_chunk_name(kMaskName);
        writer.write_object(*mask);
    }

    writer << set_chunk_name(kInfoName);
    writer.open_composite();
    const std::string& comment = list.Comment();
    writer.write_text({}, std::string_view(comment.data(), strnlen(comment.data(), comment.size())));
    systemtime_stream creation(list.CreationTime(), kCreationTimeName);
    writer.write_object(creation);
    systemtime_stream modification(list.ModificationTime(), kModificationTimeName);
    writer.write_object(modification);
    writer.write_object(list.DataType());
    writer.write_object(list.LabelType());
    writer.close_composite();
}

namespace {
constexpr uint64_t kWritebackEvery = uint64_t{8} << 20;
} // namespace

int32_t store_list_file(const CSampleImageListBase& list, const std::string& fs_path) noexcept {
    try {
        ReplacementFile file(fs_path);
        vxIO::xriff_ofstream writer;
        // The device writes while the rest is serialised, instead of all of
        // it during the final flush.
        writer.set_writeback_every(kWritebackEvery);
        writer.open(file.path(), kFileName);
        write_list(writer, list);
        // Every write, the final flush and the close must have succeeded.
        writer.close();
        file.commit();
        return 0;
    } catch (...) {
        // The writer closes its file, then the temporary file is removed.
        return ErrFile;
    }
}

} // namespace Korvu2::TAV::store

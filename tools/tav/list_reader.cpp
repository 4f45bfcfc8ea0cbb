#include "list_reader.hpp"

#include <algorithm>

#include "failure.hpp"
#include "list_file.hpp"

namespace tavtool {

namespace {
// Items are read in batches of about this many bytes (at least one item).
constexpr uint64_t kBatchBytes = uint64_t{8} << 20;
} // namespace

ListReader::ListReader(const std::string& path) {
    check_list_file(path);
    clear_library_error();
    const int32_t status = TavReaderOpen(path.c_str(), reader_.out());
    if (status == TAV_E_FILE)
        fail_library("cannot load '" + path + "': unreadable or damaged list file");
    if (status == TAV_E_INVALID_OPERATION)
        fail_library("cannot load '" + path + "': no list in the file (type descriptors missing or unknown)");
    if (status != 0 || !reader_ || TavReaderGetInfo(reader_.get(), &info_) != 0)
        fail_library("cannot load '" + path + "'");
    item_labels_.resize(static_cast<size_t>(info_.itemCount));
    if (info_.itemCount > 0 &&
        TavReaderGetItemLabels(reader_.get(), 0, info_.itemCount, item_labels_.data()) != 0)
        fail_library("cannot read the items' labels of '" + path + "'");
}

TAVLABEL ListReader::label(int index) const {
    TAVLABEL label = TavReaderGetLabel(reader_.get(), index);
    if (!label)
        fail_library("cannot read label " + std::to_string(index));
    return label;
}

void ListReader::for_each_batch(const std::function<void(int64_t, int64_t, const unsigned char*)>& visit,
                                const std::function<void(int64_t)>& failed) const {
    const uint64_t item_size = std::max<uint64_t>(info_.itemSize, 1);
    const int64_t batch = static_cast<int64_t>(std::max<uint64_t>(1, kBatchBytes / item_size));
    std::vector<unsigned char> buffer(static_cast<size_t>(item_size * uint64_t(std::min(batch, item_count()))));
    for (int64_t first = 0; first < item_count(); first += batch) {
        const int64_t count = std::min(batch, item_count() - first);
        clear_library_error();
        if (TavReaderReadRange(get(), first, count, buffer.data(), buffer.size()) == 0) {
            visit(first, count, buffer.data());
            continue;
        }
        // One damaged item must not hide the others.
        for (int64_t i = first; i < first + count; ++i) {
            clear_library_error();
            if (TavReaderReadRange(get(), i, 1, buffer.data(), buffer.size()) == 0)
                visit(i, 1, buffer.data());
            else if (failed)
                failed(i);
            else
                fail_library("cannot read item " + std::to_string(i));
        }
    }
}

} // namespace tavtool

// A list file read through the library's reader: types, labels and which
// label each item has at once, the items on demand in bounded batches, so
// that commands that only look at a list need not hold all of it.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "handle.hpp"
#include "list_text.hpp"

namespace tavtool {

class ListReader {
public:
    // Fails with the messages of load_list.
    explicit ListReader(const std::string& path);

    TAVREADER get() const { return reader_.get(); }
    const TavReaderInfo& info() const { return info_; }
    bool images() const { return info_.dataTypeEnum == 0; }
    int64_t item_count() const { return info_.itemCount; }
    int label_count() const { return info_.labelCount; }
    // Borrowed; valid while the reader lives.
    TAVLABEL label(int index) const;
    // The label index of every item, -1 where no label refers to it.
    const std::vector<int32_t>& item_labels() const { return item_labels_; }
    // Calls `visit(first, count, bytes)` for consecutive batches of items
    // (itemSize bytes each) until all are read. A batch that cannot be read
    // is retried item by item, and `failed(index)` is called for each item
    // that cannot be read; without `failed` such an item throws.
    void for_each_batch(const std::function<void(int64_t, int64_t, const unsigned char*)>& visit,
                        const std::function<void(int64_t)>& failed = nullptr) const;

private:
    Owned reader_;
    TavReaderInfo info_{};
    std::vector<int32_t> item_labels_;
};

} // namespace tavtool

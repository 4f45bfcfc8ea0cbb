#include "tav/store/reference_pairs.hpp"

#include <algorithm>
#include <optional>
#include <stdexcept>
#include <utility>

namespace Korvu2::TAV::store {

using namespace Objects;

namespace {

using HandleIndex = std::vector<std::pair<ZTHANDLE, uint32_t>>;

// Sorted by (handle, index): the first entry of an object comes first.
HandleIndex index_by_handle(std::size_t count, const auto& handle_at) {
    HandleIndex index(count);
    for (std::size_t i = 0; i < count; ++i)
        index[i] = {handle_at(i), static_cast<uint32_t>(i)};
    std::sort(index.begin(), index.end());
    return index;
}

std::optional<uint32_t> find(const HandleIndex& index, ZTHANDLE handle) {
    // The first entry of the handle: by the handle alone, a cheaper comparison.
    auto it = std::lower_bound(index.begin(), index.end(), handle,
                               [](const std::pair<ZTHANDLE, uint32_t>& entry, ZTHANDLE h) { return entry.first < h; });
    if (it == index.end() || it->first != handle)
        return std::nullopt;
    return it->second;
}

} // namespace

std::vector<uint32_t> reference_pairs(const CSampleImageListBase& list) {
    // Indices are stored in 32 bits.
    const std::size_t data_count = list.DataCount(), label_count = list.LabelCount();
    if (data_count > UINT32_MAX || label_count > UINT32_MAX)
        throw std::length_error("list too long to store");

    // An object has one handle for its whole life, and no two items of a list
    // are the same object, so the handle stands for the unique number. The
    // list's own edits keep each label's references in data order: grouping
    // the items by their label link predicts every reference with one
    // comparison. Any other reference is looked up among all items.
    const HandleIndex labels =
        index_by_handle(label_count, [&](std::size_t l) { return list.LabelAt(l).handle(); });
    // The items' handles in one walk: a lookup by index is a search.
    std::vector<ZTHANDLE> data(data_count);
    std::vector<std::vector<uint32_t>> items(label_count);
    uint32_t d = 0;
    list.ForEachData([&](const SharedHandle<ITavData>& item) {
        data[d] = item.handle();
        if (auto l = find(labels, item->LabelLink().handle()))
            items[*l].push_back(d);
        ++d;
    });

    std::optional<HandleIndex> all_items;
    auto look_up = [&](ZTHANDLE handle) {
        if (!all_items)
            all_items = index_by_handle(data_count, [&](std::size_t i) { return data[i]; });
        return find(*all_items, handle);
    };

    std::vector<uint32_t> pairs;
    pairs.reserve(2 * data_count);
    for (std::size_t l = 0; l < label_count; ++l) {
        const auto& references = list.LabelAt(l)->DataReferences();
        for (std::size_t k = 0; k < references.size(); ++k) {
            const ZTHANDLE handle = references[k].handle();
            std::optional<uint32_t> d;
            if (k < items[l].size() && data[items[l][k]] == handle)
                d = items[l][k];
            else
                d = look_up(handle);
            if (!d) {
                // Not an item of the list: a live object is left out, a
                // vanished one fails the store (lock raises bad_weak_ptr).
                references[k].lock();
                continue;
            }
            pairs.push_back(static_cast<uint32_t>(l));
            pairs.push_back(*d);
        }
    }
    return pairs;
}

} // namespace Korvu2::TAV::store

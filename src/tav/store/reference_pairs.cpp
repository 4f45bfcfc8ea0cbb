#include "tav/store/reference_pairs.hpp"

#include <stdexcept>
#include <unordered_map>

namespace Korvu2::TAV::store {

using namespace Objects;

std::vector<uint32_t> reference_pairs(const CSampleImageListBase& list) {
    // Indices are stored in 32 bits.
    if (list.DataCount() > UINT32_MAX || list.LabelCount() > UINT32_MAX)
        throw std::length_error("list too long to store");

    std::unordered_map<uint64_t, uint32_t> data_index;
    data_index.reserve(list.DataCount());
    for (std::size_t d = 0; d < list.DataCount(); ++d)
        data_index.try_emplace(list.DataAt(d)->UniqueNumber(), static_cast<uint32_t>(d));

    std::vector<uint32_t> pairs;
    pairs.reserve(2 * list.DataCount());
    for (std::size_t l = 0; l < list.LabelCount(); ++l) {
        for (const LinkHandle<ITavData>& reference : list.LabelAt(l)->DataReferences()) {
            const SharedHandle<ITavData> data = reference.lock();
            if (!data)
                continue;
            const auto found = data_index.find(data->UniqueNumber());
            if (found == data_index.end())
                continue;
            pairs.push_back(static_cast<uint32_t>(l));
            pairs.push_back(found->second);
        }
    }
    return pairs;
}

} // namespace Korvu2::TAV::store

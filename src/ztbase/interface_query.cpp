#include "interface_query.hpp"

#include <algorithm>
#include <array>
#include <vector>

#include "status_codes.hpp"

namespace ZTK::detail {

namespace {
// Far above any real listing; a larger count is taken as a broken object.
constexpr uint64_t kMaxListing = 4096;
} // namespace

int32_t find_interface(IDisposableType& object, uint64_t iid, void** iface) noexcept {
    try {
        uint64_t count = 0;
        if (object.GetInterfaces(nullptr, &count) < 0 || count == 0 || count > kMaxListing)
            return kStatusFailure;
        std::array<ZtInterfacePair, 8> local{};
        std::vector<ZtInterfacePair> heap;
        ZtInterfacePair* pairs = local.data();
        if (count > local.size()) {
            heap.resize(count);
            pairs = heap.data();
        }
        uint64_t filled = count;
        if (object.GetInterfaces(pairs, &filled) < 0)
            return kStatusFailure;
        // Never trust the second answer beyond the array handed in.
        filled = std::min(filled, count);
        for (uint64_t i = 0; i < filled; ++i) {
            if (pairs[i].iid == iid && pairs[i].iface) {
                *iface = pairs[i].iface;
                return kStatusOk;
            }
        }
        return kStatusFailure;
    } catch (...) {
        return kStatusFailure;
    }
}

} // namespace ZTK::detail

#include "tav/frame/object_base.hpp"

#include <atomic>

#include "tav/frame/error_codes.hpp"

namespace Korvu2::TAV::Objects {

uint64_t next_unique_number() {
    // Each thread takes numbers from the counter a run at a time and hands
    // them out one by one: a load makes many items, and one atomic step per
    // item costs more than the rest of making a small one.
    constexpr uint64_t kRun = 256;
    static std::atomic<uint64_t> counter{1};
    thread_local uint64_t next = 0, end = 0;
    if (next == end) {
        next = counter.fetch_add(kRun, std::memory_order_relaxed);
        end = next + kRun;
    }
    return next++;
}

int32_t list_single_interface(ZTK::ZtInterfacePair* pairs, uint64_t* count, uint64_t iid, void* iface) {
    if (count == nullptr)
        return ErrInvalidArgument;
    if (pairs == nullptr) {
        *count = 1;
        return 0;
    }
    if (*count == 0)
        return ErrInvalidArgument;
    pairs[0] = ZTK::ZtInterfacePair{iid, iface};
    *count = 1;
    return 0;
}

} // namespace Korvu2::TAV::Objects

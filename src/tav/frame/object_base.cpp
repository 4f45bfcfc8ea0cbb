#include "tav/frame/object_base.hpp"

#include <atomic>

#include "tav/frame/error_codes.hpp"

namespace Korvu2::TAV::Objects {

uint64_t next_unique_number() {
    static std::atomic<uint64_t> counter{1};
    return counter.fetch_add(1, std::memory_order_relaxed);
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

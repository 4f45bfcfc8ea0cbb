#pragma once
// Looking an interface up in an object's own listing.
#include <cstdint>

#include <zt/ztbase.h>

namespace ZTK::detail {

// 0 and the listed pointer for iid, or a negative status. The caller keeps
// the object alive for the duration.
int32_t find_interface(IDisposableType& object, uint64_t iid, void** iface) noexcept;

} // namespace ZTK::detail

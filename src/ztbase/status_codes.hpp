#pragma once
// Results of the base-object library's calls.
#include <cstdint>

namespace ZTK::detail {

inline constexpr int32_t kStatusOk = 0;
// Also: the object lists no interface for the identifier asked for.
inline constexpr int32_t kStatusFailure = static_cast<int32_t>(0x80000001u);
// Null, dead or made-up handle, null pointer, or a handle already bound.
inline constexpr int32_t kStatusInvalidArgument = static_cast<int32_t>(0x80000002u);
// The table is full, or memory for it ran out.
inline constexpr int32_t kStatusOutOfMemory = static_cast<int32_t>(0x80000005u);
} // namespace ZTK::detail

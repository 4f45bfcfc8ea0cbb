#pragma once
// Status values of the image interface and the exported functions.
#include <cstdint>

namespace ztcimg {

inline constexpr int32_t kOk = 0;
inline constexpr int32_t kInvalidArgument = static_cast<int32_t>(0x80000002u);
inline constexpr int32_t kInvalidImage = static_cast<int32_t>(0x80000010u);
inline constexpr int32_t kNotSupported = static_cast<int32_t>(0x80000013u);

} // namespace ztcimg

#pragma once
// Bounds on image sizes. Every size product is computed with overflow checks
// before anything is allocated.
#include <cstdint>
#include <optional>

namespace ztcimg {

// Pixel bytes of one image, all planes together. Far above any real image,
// yet it keeps every byte offset well inside int64_t and size_t.
inline constexpr uint64_t kMaxImageBytes = uint64_t{1} << 34;

// Planes of one image. Each plane costs bookkeeping besides its pixels, so
// their number is bounded on its own.
inline constexpr int32_t kMaxPlanes = 1 << 16;

// a * b, or none if the product exceeds kMaxImageBytes.
inline std::optional<uint64_t> bounded_product(uint64_t a, uint64_t b) {
    if (a != 0 && b > kMaxImageBytes / a)
        return std::nullopt;
    return a * b;
}

// Bytes of one compact plane; none for sizes <= 0 or beyond the bound.
inline std::optional<uint64_t> plane_bytes(int32_t width, int32_t height, int bytes_per_pixel) {
    if (width <= 0 || height <= 0 || bytes_per_pixel <= 0)
        return std::nullopt;
    auto pixels = bounded_product(static_cast<uint64_t>(width), static_cast<uint64_t>(height));
    if (!pixels)
        return std::nullopt;
    return bounded_product(*pixels, static_cast<uint64_t>(bytes_per_pixel));
}

// a + b, or none if the sum exceeds kMaxImageBytes.
inline std::optional<uint64_t> bounded_sum(uint64_t a, uint64_t b) {
    if (a > kMaxImageBytes || b > kMaxImageBytes - a)
        return std::nullopt;
    return a + b;
}

} // namespace ztcimg

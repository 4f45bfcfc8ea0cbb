#pragma once
// Memory for the pixels of a plane.
#include <cstddef>
#include <cstdint>
#include <memory>

namespace ztcimg {

// Zeroed memory of its own for one plane.
std::shared_ptr<uint8_t[]> separate_pixels(size_t bytes);

// Zeroed memory for one plane of many made one after another, as a load
// makes them: small planes share blocks (ZTK::detail::packed_piece), large
// ones get memory of their own.
std::shared_ptr<uint8_t[]> packed_pixels(size_t bytes);

} // namespace ztcimg

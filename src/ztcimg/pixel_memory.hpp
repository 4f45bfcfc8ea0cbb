#pragma once
// Memory for the pixels of a plane.
#include <cstddef>
#include <cstdint>
#include <memory>

namespace ztcimg {

// Zeroed memory of its own for one plane.
std::shared_ptr<uint8_t[]> separate_pixels(size_t bytes);

// Memory for one plane of many made one after another, as a load makes
// them, to be written in full by the caller (small planes share blocks,
// ZTK::detail::packed_piece, which need not be zero; large ones get zeroed
// memory of their own).
std::shared_ptr<uint8_t[]> packed_pixels(size_t bytes);

} // namespace ztcimg

#include "pixel_memory.hpp"

#include "ztbase/packed_blocks.hpp"

namespace ztcimg {

std::shared_ptr<uint8_t[]> separate_pixels(size_t bytes) { return std::make_shared<uint8_t[]>(bytes); }

std::shared_ptr<uint8_t[]> packed_pixels(size_t bytes) {
    std::shared_ptr<uint8_t[]> piece = ZTK::detail::packed_piece(bytes);
    return piece ? piece : separate_pixels(bytes);
}

} // namespace ztcimg

#include "image_plane.hpp"

#include <stdexcept>

#include "pixel_memory.hpp"
#include "size_limits.hpp"

namespace ztcimg {

CImagePlane CImagePlane::allocate(int32_t width, int32_t height, uint32_t data_type, bool packed) {
    auto format = PixelFormat::describe(data_type);
    if (!format)
        throw std::invalid_argument("invalid data type");
    auto bytes = plane_bytes(width, height, format->bytes);
    if (!bytes)
        throw std::invalid_argument("invalid image size");
    CImagePlane p;
    p.data_type_ = data_type;
    p.format_ = *format;
    const auto size = static_cast<size_t>(*bytes);
    p.memory_ = packed ? packed_pixels(size) : separate_pixels(size);
    p.origin_ = p.memory_.get();
    p.row_stride_ = static_cast<int64_t>(width) * format->bytes;
    return p;
}

CImagePlane CImagePlane::over(int32_t width, int32_t, uint32_t data_type, std::shared_ptr<uint8_t[]> memory,
                              uint8_t* origin) {
    auto format = PixelFormat::describe(data_type);
    if (!format)
        throw std::invalid_argument("invalid data type");
    CImagePlane p;
    p.data_type_ = data_type;
    p.format_ = *format;
    p.memory_ = std::move(memory);
    p.origin_ = origin;
    p.row_stride_ = static_cast<int64_t>(width) * format->bytes;
    return p;
}

CImagePlane CImagePlane::view(int32_t left, int32_t top) const {
    CImagePlane p = *this;
    p.origin_ = pixel(left, top);
    return p;
}

} // namespace ztcimg

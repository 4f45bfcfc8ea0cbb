#pragma once
// One plane of an image: its data-type word and a window onto pixel memory
// that may be shared with other planes (an area view shares its source's).
#include <cstdint>
#include <memory>
#include <optional>
#include <vector>

#include <zt/ztcimg.h>

#include "pixel_format.hpp"

namespace ztcimg {

class CImagePlane {
public:
    // A zeroed, compactly laid out plane; throws std::invalid_argument for a
    // bad word or size and std::bad_alloc when memory runs out. A packed
    // plane may share a block of memory with planes made before and after it,
    // and is not zeroed: the caller writes every pixel (see packed_pixels).
    static CImagePlane allocate(int32_t width, int32_t height, uint32_t data_type, bool packed = false);

    // A compact plane over memory the caller made, its pixel (0, 0) at
    // origin inside memory; throws std::invalid_argument for a bad word.
    static CImagePlane over(int32_t width, int32_t height, uint32_t data_type, std::shared_ptr<uint8_t[]> memory,
                            uint8_t* origin);

    // The plane's pixels from (left, top) on, sharing this plane's memory.
    // The caller has checked that the area lies inside.
    CImagePlane view(int32_t left, int32_t top) const;

    uint32_t data_type() const { return data_type_; }
    const PixelFormat& format() const { return format_; }
    int64_t row_stride() const { return row_stride_; }
    uint8_t* origin() const { return origin_; }
    uint8_t* pixel(int32_t x, int32_t y) const {
        return origin_ + static_cast<int64_t>(y) * row_stride_ + static_cast<int64_t>(x) * format_.bytes;
    }
    uint8_t* row(int32_t y) const { return origin_ + static_cast<int64_t>(y) * row_stride_; }

private:
    CImagePlane() = default;

    uint32_t data_type_ = 0;
    PixelFormat format_;
    std::shared_ptr<uint8_t[]> memory_;
    uint8_t* origin_ = nullptr; // pixel (0, 0) inside memory_
    int64_t row_stride_ = 0;
};

} // namespace ztcimg

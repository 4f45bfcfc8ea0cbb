#pragma once
// Pixel comparison of two images, plane by plane, stopping at the first
// difference.
#include <cstdint>

#include <zt/ztcimg.h>

namespace Korvu2::TAV::Objects {

enum class ImageWalk {
    // Whole lines at a time where both planes' lines are contiguous.
    Fastest,
    // Pixel by pixel through the linear-access tables everywhere.
    PerPixel,
};

// 0 when every plane holds equal pixels, -1 when the images differ (in
// geometry, in a plane's pixel type, or in a pixel), 1 when the comparison
// could not run (the image library's run-time functions are missing, or
// memory ran out). Integer pixels are equal when their bits are; float
// pixels by floating-point equality (+0.0 equals -0.0, a NaN equals nothing).
int32_t compare_images(ZTK::IZtImage& a, ZTK::IZtImage& b, ImageWalk walk = ImageWalk::Fastest) noexcept;

} // namespace Korvu2::TAV::Objects

#pragma once
// Making new images from old ones by bilinear interpolation. Pixel (x, y)
// stands for the unit square [x, x + 1) x [y, y + 1); samples are taken at
// pixel centres.
#include <cstdint>
#include <memory>

#include "image.hpp"

namespace ztcimg {

// The whole of `source` stretched to width x height (both >= 1).
std::unique_ptr<CImage> resample(const CImage& source, int32_t width, int32_t height);

// The image under x' = a x + b y, y' = c x + d y; none for a matrix that is
// not finite and invertible or whose result would be empty or too large.
std::unique_ptr<CImage> transform(const CImage& source, const double matrix[4]);

} // namespace ztcimg

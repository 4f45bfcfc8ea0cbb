// Conversions between file rasters and images of the image library.
#pragma once

#include <vector>

#include "handle.hpp"
#include "raster.hpp"

namespace tavtool {

// An 8-bit image with `planes` planes: 1 gray, 2 gray+alpha, 3 RGB, 4 RGBA;
// colour is reduced to luma and gray repeated as needed.
Owned raster_to_image(const Raster& raster, int planes);

// The image as PNG-ready rasters: one of 1..4 channels, or one gray raster
// per plane when there are more. 8-bit unsigned planes stay 8-bit; unsigned
// planes up to 16 bits keep their values in 16 bits; others are stretched
// from their own minimum and maximum to the 16-bit range.
std::vector<Raster> image_to_rasters(ZTIMAGE image);

// Fits an image to width x height: unchanged when equal, the centred area when
// larger in both directions, scaled (each axis on its own) otherwise.
Owned fit_image(ZTIMAGE image, int width, int height);

} // namespace tavtool

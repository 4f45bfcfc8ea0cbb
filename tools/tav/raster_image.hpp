// Conversions between file rasters and images of the image library.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "handle.hpp"
#include "raster.hpp"

namespace tavtool {

// An image of `depth` (8 or 16) bits per pixel with `planes` planes: 1 gray,
// 2 gray+alpha, 3 RGB, 4 RGBA; colour is reduced to luma and gray repeated as
// needed. Samples of the other depth are scaled by 257 or 1/257 (rounded).
Owned raster_to_image(const Raster& raster, int planes, int depth);
// True when some pixel's red, green and blue differ.
bool has_colour(const Raster& raster);

// The image as PNG-ready rasters: one of 1..4 channels, or one gray raster
// per plane when there are more. 8-bit unsigned planes stay 8-bit; unsigned
// planes up to 16 bits keep their values in 16 bits; others are stretched
// from their own minimum and maximum to the 16-bit range.
std::vector<Raster> image_to_rasters(ZTIMAGE image);
// The same for an image as the list file reader gives it: height x width x
// planes samples of one pixel type, native byte order.
std::vector<Raster> samples_to_rasters(const unsigned char* item, int width, int height, int planes, uint32_t type);

// How an image of another size is made width x height.
enum class Fit {
    kCrop,  // the centred area; smaller images first enlarged to cover it
    kScale, // the whole image, each direction scaled on its own
    kPad,   // the whole image scaled to fit inside, the rest zero
};
std::optional<Fit> parse_fit(const std::string& text);

// Fits an image to width x height; a copy when it has that size already.
Owned fit_image(ZTIMAGE image, int width, int height, Fit fit);

} // namespace tavtool

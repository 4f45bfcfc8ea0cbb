// PNG files through libpng's own interface, with no transfer curve applied
// either way: the samples are the file's numbers, whatever gAMA, sRGB or
// iCCP chunks say.
#pragma once

#include <string>

#include "raster.hpp"

namespace tavtool {

// 8 or 16 bits per sample as in the file (fewer bits and palettes are
// expanded to 8), channels as the file has them (transparency as alpha).
// Refuses images of more than `max_pixels`.
Raster read_png(const std::string& path, uint64_t max_pixels = kMaxImagePixels);
// Written as 8 or 16 bits per sample, after the raster's bits.
void write_png(const std::string& path, const Raster& raster);

} // namespace tavtool

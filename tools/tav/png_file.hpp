// PNG files through libpng's simplified interface (no setjmp in our code).
#pragma once

#include <string>

#include "raster.hpp"

namespace tavtool {

// 8 bits per sample, channels as the file has them (palettes expanded).
Raster read_png(const std::string& path);
// 8-bit rasters are written as they are; 16-bit ones as linear 16-bit PNG.
void write_png(const std::string& path, const Raster& raster);

} // namespace tavtool

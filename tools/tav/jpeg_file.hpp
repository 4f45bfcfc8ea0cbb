// JPEG files through libjpeg(-turbo): gray stays gray, every other colour
// space the library can convert becomes RGB.
#pragma once

#include <string>

#include "raster.hpp"

namespace tavtool {

// 8 bits per sample, one or three channels. Throws Failure saying why, also
// for an image of more than `max_pixels`.
Raster read_jpeg(const std::string& path, uint64_t max_pixels = kMaxImagePixels);

} // namespace tavtool

// Reading an image file of any kind the tool knows, chosen by its contents.
#pragma once

#include <string>

#include "raster.hpp"

namespace tavtool {

// True for the names create-from-dir takes: .png, .pgm, .ppm, .pnm, .jpg,
// .jpeg, in any case.
bool is_image_file_name(const std::string& name);
// Throws Failure saying why the file cannot be used, also for an image of
// more than `max_pixels`.
Raster read_image_file(const std::string& path, uint64_t max_pixels = kMaxImagePixels);

} // namespace tavtool

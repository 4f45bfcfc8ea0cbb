// PGM and PPM files (binary P5/P6 and plain P2/P3), read with every size and
// value checked against the file itself.
#pragma once

#include <string>
#include <string_view>

#include "raster.hpp"

namespace tavtool {

// Throws Failure with what is wrong. Samples are scaled to 8 bits when the
// maximum value is at most 255, else to 16 bits.
Raster decode_pnm(std::string_view bytes, uint64_t max_pixels = kMaxImagePixels);

} // namespace tavtool

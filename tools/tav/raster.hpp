// Pixels as image files hold them: interleaved channels (gray, gray+alpha,
// RGB or RGBA), 8 or 16 bits per sample.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace tavtool {

struct Raster {
    int width = 0;
    int height = 0;
    int channels = 0; // 1 gray, 2 gray+alpha, 3 RGB, 4 RGBA
    int bits = 8;     // 8 or 16
    std::vector<uint16_t> samples; // width * height * channels, row by row

    uint16_t at(int x, int y, int c) const {
        return samples[(static_cast<size_t>(y) * width + x) * channels + c];
    }
};

// Largest side and pixel count the readers accept, so that a header cannot
// ask for more memory than any sample image needs.
constexpr int kMaxImageSide = 1 << 15;
constexpr uint64_t kMaxImagePixels = uint64_t{1} << 26;

} // namespace tavtool

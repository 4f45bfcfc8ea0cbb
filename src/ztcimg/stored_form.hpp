#pragma once
// The stored form of an image, version 1, little-endian:
//
//   offset  size       field
//   0       8          magic "ZTCIMG\r\n"
//   8       4          version (1)
//   12      4          width  (> 0)
//   16      4          height (> 0)
//   20      4          plane count n (> 0)
//   24      4 n        data-type word of each plane
//   24+4n   ...        pixels: plane by plane, row by row, each element in
//                      its container size (1, 2, 4 or 8 bytes)
//
// The blob is exactly this long; the coordinate-system record is not stored.
#include <cstdint>
#include <memory>

#include "image.hpp"

namespace ztcimg {

uint64_t stored_size(const CImage& image);
// Writes exactly stored_size(image) bytes; size must equal that.
void write_stored_form(const CImage& image, uint8_t* buffer, uint64_t size);
// Throws stored_form_error for any blob that is not exactly one image.
std::unique_ptr<CImage> read_stored_form(const uint8_t* bytes, uint64_t length);
// Checks a blob exactly as read_stored_form does, without making the image.
void check_stored_form(const uint8_t* bytes, uint64_t length);
// The image of a blob whose planes lie in the blob itself, kept alive by
// keeper, so that writing a pixel writes the blob (*in_place true); when a
// plane is not aligned for its elements (or the host is big-endian) the
// pixels are copied instead (*in_place false).
std::unique_ptr<CImage> view_stored_form(uint8_t* bytes, uint64_t length, std::shared_ptr<uint8_t[]> keeper,
                                         bool* in_place);

} // namespace ztcimg

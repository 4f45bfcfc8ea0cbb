// The data-type word queries, also looked up by name at run time. An invalid
// word answers 0 to all three.
#include <zt/ztcimg.h>

#include "pixel_format.hpp"

using ztcimg::PixelFormat;

extern "C" {

int32_t BytesPerPixel(uint32_t dataType) {
    auto f = PixelFormat::describe(dataType);
    return f ? f->bytes : 0;
}

int32_t IsFloatDatatype(uint32_t dataType) {
    auto f = PixelFormat::describe(dataType);
    return f && f->is_float ? 1 : 0;
}

int32_t IsSignedDatatype(uint32_t dataType) {
    auto f = PixelFormat::describe(dataType);
    return f && f->is_signed ? 1 : 0;
}

} // extern "C"

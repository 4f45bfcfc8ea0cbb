#include "png_file.hpp"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <utility>

#include <png.h>

#include "failure.hpp"

namespace tavtool {

namespace {

// What libpng's callbacks and the guarded calls below share. libpng reports
// errors by longjmp, so the frames it may leave hold nothing that needs a
// destructor: everything to free is here and freed by the owner.
struct PngState {
    FILE* file = nullptr;
    png_structp png = nullptr;
    png_infop info = nullptr;
    png_bytep pixels = nullptr;
    png_bytepp rows = nullptr;
    png_uint_32 width = 0, height = 0;
    int channels = 0, bits = 0;
    uint64_t max_pixels = kMaxImagePixels;
    char message[200] = {};

    ~PngState() {
        std::free(rows);
        std::free(pixels);
        if (file)
            std::fclose(file);
    }
};

void on_error(png_structp png, png_const_charp message) {
    auto* state = static_cast<PngState*>(png_get_error_ptr(png));
    std::snprintf(state->message, sizeof state->message, "%s", message);
    png_longjmp(png, 1);
}

void on_warning(png_structp, png_const_charp) {}

// Allocates the pixel buffer and its row pointers, or ends by png_error.
void allocate_rows(PngState* s, size_t row_bytes) {
    s->pixels = static_cast<png_bytep>(std::malloc(row_bytes * s->height));
    s->rows = static_cast<png_bytepp>(std::malloc(sizeof(png_bytep) * s->height));
    if (!s->pixels || !s->rows)
        png_error(s->png, "out of memory");
    for (png_uint_32 y = 0; y < s->height; ++y)
        s->rows[y] = s->pixels + row_bytes * y;
}

bool decode(PngState* s) {
    s->png = png_create_read_struct(PNG_LIBPNG_VER_STRING, s, on_error, on_warning);
    if (!s->png)
        return false;
    s->info = png_create_info_struct(s->png);
    if (!s->info || setjmp(png_jmpbuf(s->png))) {
        png_destroy_read_struct(&s->png, &s->info, nullptr);
        return false;
    }
    png_set_user_limits(s->png, kMaxImageSide, kMaxImageSide);
    png_set_chunk_malloc_max(s->png, 8u << 20);
    png_init_io(s->png, s->file);
    png_read_info(s->png, s->info);
    s->width = png_get_image_width(s->png, s->info);
    s->height = png_get_image_height(s->png, s->info);
    if (uint64_t(s->width) * s->height > s->max_pixels)
        png_error(s->png, "image too large");
    // Palettes to RGB, gray below 8 bits to 8, tRNS to alpha; nothing else:
    // libpng applies no gamma unless asked to.
    png_set_expand(s->png);
    png_set_interlace_handling(s->png);
    png_read_update_info(s->png, s->info);
    s->channels = png_get_channels(s->png, s->info);
    s->bits = png_get_bit_depth(s->png, s->info);
    if (s->channels < 1 || s->channels > 4 || (s->bits != 8 && s->bits != 16))
        png_error(s->png, "unexpected pixel layout");
    allocate_rows(s, png_get_rowbytes(s->png, s->info));
    png_read_image(s->png, s->rows);
    png_destroy_read_struct(&s->png, &s->info, nullptr);
    return true;
}

bool encode(PngState* s) {
    s->png = png_create_write_struct(PNG_LIBPNG_VER_STRING, s, on_error, on_warning);
    if (!s->png)
        return false;
    s->info = png_create_info_struct(s->png);
    if (!s->info || setjmp(png_jmpbuf(s->png))) {
        png_destroy_write_struct(&s->png, &s->info);
        return false;
    }
    static const int types[] = {PNG_COLOR_TYPE_GRAY, PNG_COLOR_TYPE_GRAY_ALPHA, PNG_COLOR_TYPE_RGB,
                                PNG_COLOR_TYPE_RGB_ALPHA};
    png_init_io(s->png, s->file);
    png_set_IHDR(s->png, s->info, s->width, s->height, s->bits, types[s->channels - 1], PNG_INTERLACE_NONE,
                 PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    png_write_info(s->png, s->info);
    png_write_image(s->png, s->rows);
    png_write_end(s->png, nullptr);
    png_destroy_write_struct(&s->png, &s->info);
    return true;
}

} // namespace

Raster read_png(const std::string& path, uint64_t max_pixels) {
    PngState s;
    s.max_pixels = max_pixels;
    s.file = std::fopen(path.c_str(), "rb");
    if (!s.file)
        throw Failure("cannot open: " + system_error_text(errno));
    if (!decode(&s))
        throw Failure(std::string("PNG file: ") + (s.message[0] ? s.message : "cannot read"));
    Raster r;
    r.width = static_cast<int>(s.width);
    r.height = static_cast<int>(s.height);
    r.channels = s.channels;
    r.bits = s.bits;
    const size_t count = size_t(s.width) * s.height * size_t(s.channels);
    r.samples.resize(count);
    for (size_t i = 0; i < count; ++i)
        r.samples[i] = s.bits == 16 ? uint16_t(s.pixels[2 * i] << 8 | s.pixels[2 * i + 1]) : s.pixels[i];
    return r;
}

void write_png(const std::string& path, const Raster& r) {
    if (r.channels < 1 || r.channels > 4)
        throw Failure("PNG files hold one to four channels");
    PngState s;
    s.width = static_cast<png_uint_32>(r.width);
    s.height = static_cast<png_uint_32>(r.height);
    s.channels = r.channels;
    s.bits = r.bits == 16 ? 16 : 8;
    const size_t count = r.samples.size(), sample_bytes = s.bits / 8;
    s.pixels = static_cast<png_bytep>(std::malloc(count * sample_bytes));
    s.rows = static_cast<png_bytepp>(std::malloc(sizeof(png_bytep) * s.height));
    if (!s.pixels || !s.rows)
        throw Failure("cannot write '" + path + "': out of memory");
    for (size_t i = 0; i < count; ++i) {
        if (sample_bytes == 2) {
            s.pixels[2 * i] = static_cast<png_byte>(r.samples[i] >> 8);
            s.pixels[2 * i + 1] = static_cast<png_byte>(r.samples[i]);
        } else {
            s.pixels[i] = static_cast<png_byte>(r.samples[i]);
        }
    }
    for (png_uint_32 y = 0; y < s.height; ++y)
        s.rows[y] = s.pixels + size_t(y) * s.width * s.channels * sample_bytes;
    s.file = std::fopen(path.c_str(), "wb");
    if (!s.file)
        throw Failure("cannot write '" + path + "': " + system_error_text(errno));
    errno = 0;
    const bool encoded = encode(&s);
    int error = encoded ? 0 : errno;
    // A full disk may only show when the buffered rest is written out.
    if (std::fclose(std::exchange(s.file, nullptr)) != 0 && error == 0)
        error = errno ? errno : EIO;
    if (error != 0)
        throw Failure("cannot write '" + path + "': " + system_error_text(error));
    if (!encoded)
        throw Failure("cannot write '" + path + "': " + (s.message[0] ? s.message : "PNG error"));
}

} // namespace tavtool

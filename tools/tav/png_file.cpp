#include "png_file.hpp"

#include <cstring>
#include <memory>

#include <png.h>

#include "failure.hpp"

namespace tavtool {

namespace {

// Frees libpng's reading state on every path.
struct ImageGuard {
    png_image* image;
    ~ImageGuard() { png_image_free(image); }
};

std::string png_message(const png_image& image, const char* fallback) {
    return image.message[0] ? std::string(image.message) : std::string(fallback);
}

} // namespace

Raster read_png(const std::string& path) {
    png_image image;
    std::memset(&image, 0, sizeof image);
    image.version = PNG_IMAGE_VERSION;
    ImageGuard guard{&image};
    if (!png_image_begin_read_from_file(&image, path.c_str()))
        throw Failure("PNG file: " + png_message(image, "cannot read"));
    if (image.width < 1 || image.height < 1 || image.width > kMaxImageSide || image.height > kMaxImageSide ||
        uint64_t(image.width) * image.height > kMaxImagePixels)
        throw Failure("PNG file: image too large");
    // Keep the file's channels; colour maps are expanded, 16-bit reduced to 8.
    image.format = image.format & (PNG_FORMAT_FLAG_COLOR | PNG_FORMAT_FLAG_ALPHA);
    Raster r;
    r.width = static_cast<int>(image.width);
    r.height = static_cast<int>(image.height);
    r.channels = static_cast<int>(PNG_IMAGE_PIXEL_CHANNELS(image.format));
    std::vector<png_byte> buffer(PNG_IMAGE_SIZE(image));
    if (!png_image_finish_read(&image, nullptr, buffer.data(), 0, nullptr))
        throw Failure("PNG file: " + png_message(image, "cannot decode"));
    r.samples.assign(buffer.begin(), buffer.end());
    return r;
}

void write_png(const std::string& path, const Raster& r) {
    png_image image;
    std::memset(&image, 0, sizeof image);
    image.version = PNG_IMAGE_VERSION;
    image.width = static_cast<png_uint_32>(r.width);
    image.height = static_cast<png_uint_32>(r.height);
    static const png_uint_32 formats[] = {PNG_FORMAT_GRAY, PNG_FORMAT_GA, PNG_FORMAT_RGB, PNG_FORMAT_RGBA};
    if (r.channels < 1 || r.channels > 4)
        throw Failure("PNG files hold one to four channels");
    image.format = formats[r.channels - 1] | (r.bits == 16 ? PNG_FORMAT_FLAG_LINEAR : 0);
    int ok;
    if (r.bits == 16) {
        ok = png_image_write_to_file(&image, path.c_str(), 0, r.samples.data(), 0, nullptr);
    } else {
        std::vector<png_byte> bytes(r.samples.begin(), r.samples.end());
        ok = png_image_write_to_file(&image, path.c_str(), 0, bytes.data(), 0, nullptr);
    }
    std::string message = png_message(image, "cannot write");
    png_image_free(&image);
    if (!ok)
        throw Failure("cannot write '" + path + "': " + message);
}

} // namespace tavtool

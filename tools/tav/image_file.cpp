#include "image_file.hpp"

#include <algorithm>
#include <cerrno>
#include <cctype>
#include <fstream>
#include <iterator>

#include "failure.hpp"
#include "jpeg_file.hpp"
#include "png_file.hpp"
#include "pnm_file.hpp"

namespace tavtool {

bool is_image_file_name(const std::string& name) {
    auto dot = name.rfind('.');
    if (dot == std::string::npos)
        return false;
    std::string ext = name.substr(dot + 1);
    std::transform(ext.begin(), ext.end(), ext.begin(), [](unsigned char c) { return std::tolower(c); });
    return ext == "png" || ext == "pgm" || ext == "ppm" || ext == "pnm" || ext == "jpg" || ext == "jpeg";
}

Raster read_image_file(const std::string& path, uint64_t max_pixels) {
    std::ifstream in(path, std::ios::binary);
    if (!in)
        throw Failure("cannot open: " + system_error_text(errno));
    char head[8] = {};
    in.read(head, sizeof head);
    const auto got = in.gcount();
    static const unsigned char png_signature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1a, '\n'};
    if (got == 8 && std::equal(head, head + 8, png_signature, [](char a, unsigned char b) {
            return static_cast<unsigned char>(a) == b;
        }))
        return read_png(path, max_pixels);
    if (got >= 3 && static_cast<unsigned char>(head[0]) == 0xff && static_cast<unsigned char>(head[1]) == 0xd8 &&
        static_cast<unsigned char>(head[2]) == 0xff)
        return read_jpeg(path, max_pixels);
    if (got >= 2 && head[0] == 'P') {
        // PNM files are read whole; the reader caps what the header may ask.
        in.seekg(0, std::ios::end);
        const auto size = static_cast<uint64_t>(in.tellg());
        if (size > 8 * max_pixels)
            throw Failure("file too large");
        in.seekg(0);
        std::string bytes(static_cast<size_t>(size), '\0');
        in.read(bytes.data(), static_cast<std::streamsize>(size));
        bytes.resize(static_cast<size_t>(in.gcount()));
        return decode_pnm(bytes, max_pixels);
    }
    throw Failure("not a PNG, JPEG, PGM or PPM image");
}

} // namespace tavtool

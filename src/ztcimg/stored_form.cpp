#include "stored_form.hpp"

#include <array>

#include "byte_io.hpp"
#include "size_limits.hpp"

namespace ztcimg {
namespace {

constexpr std::array<uint8_t, 8> kMagic = {'Z', 'T', 'C', 'I', 'M', 'G', '\r', '\n'};
constexpr uint32_t kVersion = 1;
constexpr uint64_t kFixedHeader = 24;

uint64_t pixel_bytes(const CImage& image) {
    uint64_t total = 0;
    for (int32_t p = 0; p < image.plane_count(); ++p)
        total += *plane_bytes(image.width(), image.height(), image.plane(p).format().bytes);
    return total;
}

} // namespace

uint64_t stored_size(const CImage& image) {
    return kFixedHeader + 4 * static_cast<uint64_t>(image.plane_count()) + pixel_bytes(image);
}

void write_stored_form(const CImage& image, uint8_t* buffer, uint64_t size) {
    if (size != stored_size(image))
        throw stored_form_error("buffer size differs from the stored size");
    ByteWriter out(buffer, static_cast<size_t>(size));
    out.put_bytes(kMagic.data(), kMagic.size());
    out.put_u32(kVersion);
    out.put_u32(static_cast<uint32_t>(image.width()));
    out.put_u32(static_cast<uint32_t>(image.height()));
    out.put_u32(static_cast<uint32_t>(image.plane_count()));
    for (int32_t p = 0; p < image.plane_count(); ++p)
        out.put_u32(image.plane(p).data_type());
    for (int32_t p = 0; p < image.plane_count(); ++p) {
        const CImagePlane& plane = image.plane(p);
        for (int32_t y = 0; y < image.height(); ++y)
            out.put_elements(plane.row(y), static_cast<size_t>(image.width()), plane.format().bytes);
    }
}

std::unique_ptr<CImage> read_stored_form(const uint8_t* bytes, uint64_t length) {
    if (bytes == nullptr || length > SIZE_MAX)
        throw stored_form_error("no image bytes");
    ByteReader in(bytes, static_cast<size_t>(length));
    std::array<uint8_t, 8> magic{};
    in.get_bytes(magic.data(), magic.size(), "truncated header");
    if (magic != kMagic)
        throw stored_form_error("not an image");
    if (in.get_u32("truncated header") != kVersion)
        throw stored_form_error("unknown image version");
    const int32_t width = in.get_i32("truncated header");
    const int32_t height = in.get_i32("truncated header");
    const int32_t planes = in.get_i32("truncated header");
    if (width <= 0 || height <= 0 || planes <= 0 || planes > kMaxPlanes)
        throw stored_form_error("invalid image size");
    // Each plane needs its word and at least one pixel byte, so the plane
    // count is bounded by the blob before anything is reserved for it.
    if (static_cast<uint64_t>(planes) > in.left() / 5)
        throw stored_form_error("truncated plane table");
    std::vector<uint32_t> words(static_cast<size_t>(planes));
    uint64_t total = 0;
    for (uint32_t& word : words) {
        word = in.get_u32("truncated plane table");
        auto format = PixelFormat::describe(word);
        if (!format)
            throw stored_form_error("invalid data type");
        auto bytes_of_plane = plane_bytes(width, height, format->bytes);
        auto sum = bytes_of_plane ? bounded_sum(total, *bytes_of_plane) : std::nullopt;
        if (!sum)
            throw stored_form_error("image too large");
        total = *sum;
    }
    // Only a blob that holds exactly the pixels it declares is allocated for.
    if (total != in.left())
        throw stored_form_error(total > in.left() ? "truncated pixels" : "bytes after the image");

    // Images are loaded in bulk, a list of them at a time.
    auto image = CImage::create(width, height, words, true);
    for (int32_t p = 0; p < planes; ++p) {
        const CImagePlane& plane = image->plane(p);
        const PixelFormat& f = plane.format();
        for (int32_t y = 0; y < height; ++y) {
            uint8_t* row = plane.row(y);
            in.get_elements(row, static_cast<size_t>(width), f.bytes, "truncated pixels");
            if (f.is_float || f.bits == f.bytes * 8)
                continue; // every bit pattern is a value
            for (int32_t x = 0; x < width; ++x)
                if (!f.holds_valid_value(row + static_cast<size_t>(x) * static_cast<size_t>(f.bytes)))
                    throw stored_form_error("pixel value outside its data type");
        }
    }
    return image;
}

} // namespace ztcimg

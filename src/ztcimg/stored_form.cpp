#include "stored_form.hpp"

#include <algorithm>
#include <array>
#include <bit>

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

// The fixed part of a blob, checked as read_stored_form checks it, reading
// the words in place: nothing is allocated.
struct Header {
    int32_t width = 0, height = 0, planes = 0;
    const uint8_t* words = nullptr; // little-endian, planes of them
    const uint8_t* pixels = nullptr;
    bool narrow = false; // some plane holds integers narrower than their elements
};

uint32_t word_at(const uint8_t* p) {
    return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}

Header parse_header(const uint8_t* bytes, uint64_t length) {
    if (bytes == nullptr || length < kFixedHeader)
        throw stored_form_error("truncated header");
    if (!std::equal(kMagic.begin(), kMagic.end(), bytes))
        throw stored_form_error("not an image");
    if (word_at(bytes + 8) != kVersion)
        throw stored_form_error("unknown image version");
    Header h;
    h.width = static_cast<int32_t>(word_at(bytes + 12));
    h.height = static_cast<int32_t>(word_at(bytes + 16));
    h.planes = static_cast<int32_t>(word_at(bytes + 20));
    if (h.width <= 0 || h.height <= 0 || h.planes <= 0 || h.planes > kMaxPlanes)
        throw stored_form_error("invalid image size");
    const uint64_t left = length - kFixedHeader;
    if (static_cast<uint64_t>(h.planes) > left / 5)
        throw stored_form_error("truncated plane table");
    h.words = bytes + kFixedHeader;
    uint64_t total = 0;
    for (int32_t p = 0; p < h.planes; ++p) {
        auto format = PixelFormat::describe(word_at(h.words + 4 * p));
        if (!format)
            throw stored_form_error("invalid data type");
        h.narrow = h.narrow || (!format->is_float && format->bits != format->bytes * 8);
        auto bytes_of_plane = plane_bytes(h.width, h.height, format->bytes);
        auto sum = bytes_of_plane ? bounded_sum(total, *bytes_of_plane) : std::nullopt;
        if (!sum)
            throw stored_form_error("image too large");
        total = *sum;
    }
    const uint64_t pixels_left = left - 4 * static_cast<uint64_t>(h.planes);
    if (total != pixels_left)
        throw stored_form_error(total > pixels_left ? "truncated pixels" : "bytes after the image");
    h.pixels = h.words + 4 * static_cast<uint64_t>(h.planes);
    return h;
}

// Every stored pixel of a narrow integer format must lie in its range; the
// elements are read in place, so this holds on little-endian hosts only.
void check_pixels(const Header& h) {
    if (!h.narrow)
        return;
    const uint8_t* at = h.pixels;
    const size_t count = static_cast<size_t>(h.width) * static_cast<size_t>(h.height);
    for (int32_t p = 0; p < h.planes; ++p) {
        const PixelFormat f = *PixelFormat::describe(word_at(h.words + 4 * p));
        if (!f.is_float && f.bits != f.bytes * 8)
            for (size_t i = 0; i < count; ++i)
                if (!f.holds_valid_value(at + i * static_cast<size_t>(f.bytes)))
                    throw stored_form_error("pixel value outside its data type");
        at += count * static_cast<size_t>(f.bytes);
    }
}

constexpr bool kLittleEndian = std::endian::native == std::endian::little;

} // namespace

void check_stored_form(const uint8_t* bytes, uint64_t length) {
    if constexpr (kLittleEndian)
        check_pixels(parse_header(bytes, length));
    else
        read_stored_form(bytes, length);
}

std::unique_ptr<CImage> view_stored_form(uint8_t* bytes, uint64_t length, std::shared_ptr<uint8_t[]> keeper,
                                         bool* in_place) {
    *in_place = false;
    if constexpr (kLittleEndian) {
        const Header h = parse_header(bytes, length);
        bool aligned = true;
        const uint8_t* at = h.pixels;
        for (int32_t p = 0; p < h.planes; ++p) {
            const PixelFormat f = *PixelFormat::describe(word_at(h.words + 4 * p));
            aligned = aligned && reinterpret_cast<uintptr_t>(at) % static_cast<uintptr_t>(f.bytes) == 0;
            at += static_cast<size_t>(h.width) * static_cast<size_t>(h.height) * static_cast<size_t>(f.bytes);
        }
        if (aligned) {
            check_pixels(h);
            std::vector<CImagePlane> planes;
            planes.reserve(static_cast<size_t>(h.planes));
            uint8_t* origin = bytes + (h.pixels - bytes);
            for (int32_t p = 0; p < h.planes; ++p) {
                planes.push_back(CImagePlane::over(h.width, h.height, word_at(h.words + 4 * p), keeper, origin));
                origin += static_cast<size_t>(h.width) * static_cast<size_t>(h.height) *
                          static_cast<size_t>(planes.back().format().bytes);
            }
            *in_place = true;
            return std::make_unique<CImage>(h.width, h.height, std::move(planes));
        }
    }
    return read_stored_form(bytes, length);
}

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

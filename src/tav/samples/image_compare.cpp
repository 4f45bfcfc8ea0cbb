#include "tav/samples/image_compare.hpp"

#include <cstring>
#include <stdexcept>
#include <type_traits>
#include <vector>

#include "tav/frame/dynload.hpp"
#include "tav/frame/exceptions.hpp"

namespace Korvu2::TAV::Objects {
namespace {

using DatatypeQuery = int32_t(uint32_t);

struct Plane {
    const unsigned char* base;
    const ZTK::ZtLinearEntry* table;
};

Plane linear_access(ZTK::IZtImage& image, int32_t plane) {
    void* base = nullptr;
    const ZTK::ZtLinearEntry* table = nullptr;
    // Without access to the pixels the planes cannot be shown equal.
    if (image.GetLinearAccess(plane, &base, &table) < 0 || base == nullptr || table == nullptr)
        throw difference_found{};
    return {static_cast<const unsigned char*>(base), table};
}

// Columns follow each other without gaps, so a line is one run of bytes.
bool columns_contiguous(const ZTK::ZtLinearEntry* table, int32_t width, std::size_t element) {
    const int64_t first = table[0].x;
    for (int32_t x = 1; x < width; ++x)
        if (table[x].x - first != static_cast<int64_t>(x) * static_cast<int64_t>(element))
            return false;
    return true;
}

template <class T>
T load(const unsigned char* p) {
    T value;
    std::memcpy(&value, p, sizeof(T));
    return value;
}

// One contiguous line of floats: blocks without an early exit inside, so
// the compiler can vectorise them, then the verdict per block.
template <class T>
void compare_float_line(const unsigned char* a, const unsigned char* b, int32_t width) {
    constexpr int32_t kBlock = 64;
    int32_t x = 0;
    for (; x + kBlock <= width; x += kBlock) {
        unsigned unequal = 0;
        for (int32_t i = 0; i < kBlock; ++i) {
            const std::size_t at = static_cast<std::size_t>(x + i) * sizeof(T);
            unequal |= !(load<T>(a + at) == load<T>(b + at));
        }
        if (unequal != 0)
            throw difference_found{};
    }
    for (; x < width; ++x) {
        const std::size_t at = static_cast<std::size_t>(x) * sizeof(T);
        if (!(load<T>(a + at) == load<T>(b + at)))
            throw difference_found{};
    }
}

// Walks one plane of each image, line by line from line 0 and column by
// column from column 0; throws difference_found at the first unequal pair.
// T's == is the element equality: bit-exact for the unsigned integer
// types, floating-point for float and double.
template <class T>
void compare_plane(ZTK::IZtImage& a, ZTK::IZtImage& b, int32_t plane, int32_t width, int32_t height,
                   ImageWalk walk) {
    if (width <= 0 || height <= 0)
        return;
    const Plane pa = linear_access(a, plane);
    const Plane pb = linear_access(b, plane);
    const bool lines = walk == ImageWalk::Fastest && columns_contiguous(pa.table, width, sizeof(T)) &&
                       columns_contiguous(pb.table, width, sizeof(T));
    if (lines) {
        const std::size_t bytes = static_cast<std::size_t>(width) * sizeof(T);
        for (int32_t y = 0; y < height; ++y) {
            const unsigned char* la = pa.base + pa.table[y].y + pa.table[0].x;
            const unsigned char* lb = pb.base + pb.table[y].y + pb.table[0].x;
            if constexpr (!std::is_floating_point_v<T>) {
                // A line of integer pixels is equal exactly when its bytes are.
                if (std::memcmp(la, lb, bytes) != 0)
                    throw difference_found{};
            } else {
                compare_float_line<T>(la, lb, width);
            }
        }
        return;
    }
    for (int32_t y = 0; y < height; ++y) {
        const unsigned char* la = pa.base + pa.table[y].y;
        const unsigned char* lb = pb.base + pb.table[y].y;
        for (int32_t x = 0; x < width; ++x)
            if (!(load<T>(la + pa.table[x].x) == load<T>(lb + pb.table[x].x)))
                throw difference_found{};
    }
}

void compare_plane_of_kind(ZTK::IZtImage& a, ZTK::IZtImage& b, int32_t plane, int32_t width, int32_t height,
                           int32_t bytes, bool floating, ImageWalk walk) {
    if (floating && bytes == 4)
        return compare_plane<float>(a, b, plane, width, height, walk);
    if (floating && bytes == 8)
        return compare_plane<double>(a, b, plane, width, height, walk);
    switch (bytes) {
    case 1: return compare_plane<uint8_t>(a, b, plane, width, height, walk);
    case 2: return compare_plane<uint16_t>(a, b, plane, width, height, walk);
    case 4: return compare_plane<uint32_t>(a, b, plane, width, height, walk);
    case 8: return compare_plane<uint64_t>(a, b, plane, width, height, walk);
    default: throw std::runtime_error("unsupported pixel size"); // not a pixel type of the library
    }
}

// The data-type word's pixel type; higher bits are flags that do not
// change the pixels.
constexpr uint32_t kPixelTypeMask = 0x3FF;

} // namespace

int32_t compare_images(ZTK::IZtImage& a, ZTK::IZtImage& b, ImageWalk walk) noexcept {
    try {
        int32_t planes_a = 0, width_a = 0, height_a = 0;
        int32_t planes_b = 0, width_b = 0, height_b = 0;
        if (a.GetDimension(&planes_a, &width_a, &height_a) < 0 || b.GetDimension(&planes_b, &width_b, &height_b) < 0)
            return -1;
        if (planes_a != planes_b || width_a != width_b || height_a != height_b)
            return -1;
        std::vector<uint32_t> types_a(planes_a > 0 ? planes_a : 0), types_b(types_a.size());
        for (int32_t p = 0; p < planes_a; ++p)
            if (a.GetPlaneDataType(p, &types_a[p]) < 0 || b.GetPlaneDataType(p, &types_b[p]) < 0)
                return -1;
        for (int32_t p = 0; p < planes_a; ++p) {
            // Planes of different pixel types hold different images even
            // where their bytes agree.
            if ((types_a[p] & kPixelTypeMask) != (types_b[p] & kPixelTypeMask))
                return -1;
            auto* bytes_per_pixel = base2::image_library_function<DatatypeQuery>("BytesPerPixel");
            auto* is_float = base2::image_library_function<DatatypeQuery>("IsFloatDatatype");
            auto* is_signed = base2::image_library_function<DatatypeQuery>("IsSignedDatatype");
            const int32_t bytes = bytes_per_pixel(types_a[p]);
            const bool floating = is_float(types_a[p]) != 0;
            (void)is_signed(types_a[p]); // integers compare as bit patterns either way
            compare_plane_of_kind(a, b, p, width_a, height_a, bytes, floating, walk);
        }
        return 0;
    } catch (const difference_found&) {
        return -1;
    } catch (...) {
        return 1;
    }
}

} // namespace Korvu2::TAV::Objects

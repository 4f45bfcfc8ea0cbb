#include <cmath>
#include <cstring>
#include <limits>
#include <random>
#include <vector>

#include <gtest/gtest.h>
#include <zt/ztcimg.h>

#include "tav/samples/image_compare.hpp"

using Korvu2::TAV::Objects::compare_images;
using Korvu2::TAV::Objects::ImageWalk;

namespace {

enum class Layout { Packed, PaddedLines, ReversedColumns, SpacedColumns };

// An image whose planes lie in memory as the layout says, reached only
// through the linear-access tables (as the comparison must).
class FakeImage : public ZTK::IZtImage {
public:
    FakeImage(int32_t width, int32_t height, std::vector<uint32_t> types, Layout layout)
        : width_(width), height_(height), types_(std::move(types)) {
        for (uint32_t type : types_) {
            const int64_t e = BytesPerPixel(type);
            int64_t column = e, line = width * e, columns_from_end = 0;
            if (layout == Layout::PaddedLines)
                line += 13; // odd, so lines are also misaligned
            if (layout == Layout::ReversedColumns)
                column = -e, columns_from_end = (width - 1) * e;
            if (layout == Layout::SpacedColumns)
                column = 2 * e, line = 2 * width * e;
            Plane p;
            p.memory.assign(static_cast<size_t>(line * height + 2 * width * e + 3), 0);
            p.base = p.memory.data() + 3;
            for (int32_t i = 0; i < std::max(width, height); ++i)
                p.table.push_back({columns_from_end + i * column, i * line});
            planes_.push_back(std::move(p));
        }
    }

    template <class T>
    void set(int32_t plane, int32_t x, int32_t y, T value) {
        Plane& p = planes_[plane];
        std::memcpy(p.base + p.table[x].x + p.table[y].y, &value, sizeof(T));
    }
    void copy_pixels_from(const FakeImage& other) {
        for (size_t p = 0; p < planes_.size(); ++p) {
            const int64_t e = BytesPerPixel(types_[p]);
            for (int32_t y = 0; y < height_; ++y)
                for (int32_t x = 0; x < width_; ++x)
                    std::memcpy(planes_[p].base + planes_[p].table[x].x + planes_[p].table[y].y,
                                other.planes_[p].base + other.planes_[p].table[x].x + other.planes_[p].table[y].y, e);
        }
    }

    bool fail_dimension = false;
    bool fail_access = false;

    int32_t GetDimension(int32_t* planes, int32_t* width, int32_t* height) override {
        *planes = static_cast<int32_t>(planes_.size());
        *width = width_;
        *height = height_;
        return fail_dimension ? -1 : 0;
    }
    int32_t GetPlaneDataType(int32_t plane, uint32_t* type) override {
        *type = types_[plane];
        return 0;
    }
    int32_t GetLinearAccess(int32_t plane, void** base, const ZTK::ZtLinearEntry** table) override {
        *base = planes_[plane].base;
        *table = planes_[plane].table.data();
        return fail_access ? -1 : 0;
    }
    int32_t Reserved() override { return -1; }
    int32_t SetCoordinateSystem(const void*) override { return 0; }

private:
    struct Plane {
        std::vector<unsigned char> memory;
        unsigned char* base = nullptr;
        std::vector<ZTK::ZtLinearEntry> table;
    };
    int32_t width_, height_;
    std::vector<uint32_t> types_;
    std::vector<Plane> planes_;
};

// Both walks, which must always agree.
int32_t compare_both_ways(FakeImage& a, FakeImage& b) {
    const int32_t fastest = compare_images(a, b, ImageWalk::Fastest);
    EXPECT_EQ(fastest, compare_images(a, b, ImageWalk::PerPixel));
    return fastest;
}

constexpr float kNaN = std::numeric_limits<float>::quiet_NaN();

TEST(ImageCompare, FloatPixelsUseFloatingPointEquality) {
    struct Case {
        const char* name;
        double a, b;
        int32_t expected;
    } cases[] = {
        {"signed zeros", 0.0, -0.0, 0},
        {"NaN at the same place", kNaN, kNaN, -1},
        {"NaN against a number", kNaN, 1.0, -1},
        {"different values", 1.0, 1.5, -1},
    };
    for (const Case& c : cases) {
        for (uint32_t type : {ZT_DT_F32, ZT_DT_F64}) {
            SCOPED_TRACE(std::string(c.name) + (type == ZT_DT_F32 ? " f32" : " f64"));
            FakeImage a(70, 2, {type}, Layout::Packed), b(70, 2, {type}, Layout::PaddedLines);
            if (type == ZT_DT_F32) {
                a.set<float>(0, 66, 1, static_cast<float>(c.a));
                b.set<float>(0, 66, 1, static_cast<float>(c.b));
            } else {
                a.set<double>(0, 66, 1, c.a);
                b.set<double>(0, 66, 1, c.b);
            }
            EXPECT_EQ(compare_both_ways(a, b), c.expected);
        }
    }
}

TEST(ImageCompare, IntegerPixelsAreBitExactAndTypesMustAgree) {
    FakeImage u16(5, 4, {ZT_DT_U16}, Layout::Packed), u16b(5, 4, {ZT_DT_U16}, Layout::Packed);
    u16.set<uint16_t>(0, 4, 3, 0x8000);
    u16b.set<uint16_t>(0, 4, 3, 0x8000);
    EXPECT_EQ(compare_both_ways(u16, u16b), 0);
    u16b.set<uint16_t>(0, 4, 3, 0x8001);
    EXPECT_EQ(compare_both_ways(u16, u16b), -1);

    // Zero pixels of another type, or of the same size and another sign,
    // are still another image.
    FakeImage u8(5, 4, {ZT_DT_U8}, Layout::Packed), s8(5, 4, {ZT_DT_S8}, Layout::Packed);
    FakeImage zeros16(5, 4, {ZT_DT_U16}, Layout::Packed);
    EXPECT_EQ(compare_both_ways(u8, zeros16), -1);
    EXPECT_EQ(compare_both_ways(u8, s8), -1);
    // Flags above the pixel type do not count.
    FakeImage flagged(5, 4, {ZT_DT_U8 | 0x1000}, Layout::Packed);
    EXPECT_EQ(compare_both_ways(u8, flagged), 0);
}

TEST(ImageCompare, GeometryAndQueryFailuresMakeImagesDifferent) {
    FakeImage a(4, 4, {ZT_DT_U8, ZT_DT_U8}, Layout::Packed);
    FakeImage wider(5, 4, {ZT_DT_U8, ZT_DT_U8}, Layout::Packed), taller(4, 5, {ZT_DT_U8, ZT_DT_U8}, Layout::Packed);
    FakeImage one_plane(4, 4, {ZT_DT_U8}, Layout::Packed), b(4, 4, {ZT_DT_U8, ZT_DT_U8}, Layout::Packed);
    EXPECT_EQ(compare_both_ways(a, wider), -1);
    EXPECT_EQ(compare_both_ways(a, taller), -1);
    EXPECT_EQ(compare_both_ways(a, one_plane), -1);
    EXPECT_EQ(compare_both_ways(a, b), 0);
    b.set<uint8_t>(1, 0, 0, 1); // the second plane counts too
    EXPECT_EQ(compare_both_ways(a, b), -1);
    b.set<uint8_t>(1, 0, 0, 0);
    b.fail_dimension = true;
    EXPECT_EQ(compare_both_ways(a, b), -1);
    b.fail_dimension = false;
    b.fail_access = true;
    EXPECT_EQ(compare_both_ways(a, b), -1);
}

// Every layout against every other, every pixel size, equal or with one
// differing pixel: the line-wise walk agrees with the per-pixel walk.
TEST(ImageCompare, LineWalkAgreesWithPixelWalkOnEveryLayout) {
    const Layout layouts[] = {Layout::Packed, Layout::PaddedLines, Layout::ReversedColumns, Layout::SpacedColumns};
    const uint32_t types[] = {ZT_DT_U8, ZT_DT_S16, ZT_DT_U32, ZT_DT_U64, ZT_DT_S8, ZT_DT_F32, ZT_DT_F64};
    std::mt19937 random(7);
    for (Layout la : layouts)
        for (Layout lb : layouts)
            for (uint32_t type : types)
                for (int32_t width : {1, 63, 64, 131}) {
                    SCOPED_TRACE(testing::Message() << int(la) << "/" << int(lb) << " type " << type << " w "
                                                    << width);
                    const int32_t height = 3;
                    FakeImage a(width, height, {type}, la), b(width, height, {type}, lb);
                    for (int32_t y = 0; y < height; ++y)
                        for (int32_t x = 0; x < width; ++x)
                            a.set<uint8_t>(0, x, y, static_cast<uint8_t>(random() % 100 + 1));
                    b.copy_pixels_from(a);
                    EXPECT_EQ(compare_both_ways(a, b), 0);
                    const int32_t x = static_cast<int32_t>(random() % width), y = static_cast<int32_t>(random() % height);
                    b.set<uint8_t>(0, x, y, 0);
                    EXPECT_EQ(compare_both_ways(a, b), -1);
                }
}

TEST(ImageCompare, ViewsOfLibraryImagesCompareByTheirOwnPixels) {
    ZTIMAGE image = ZtImageCreate(9, 7, 1, ZT_DT_U8);
    ZTIMAGE view = 0, copy = 0;
    ASSERT_NE(ZtImageMapArea(image, 2, 1, 6, 5, 5, 5, &view), 0); // lines of 5 in lines of 9
    ASSERT_NE(ZtImageCopy(view, &copy), 0);
    void* pv = nullptr;
    void* pc = nullptr;
    ASSERT_GE(ZtQueryInterface(view, ZT_IMAGE_INTERFACE_ID, &pv), 0);
    ASSERT_GE(ZtQueryInterface(copy, ZT_IMAGE_INTERFACE_ID, &pc), 0);
    auto& v = *static_cast<ZTK::IZtImage*>(pv);
    auto& c = *static_cast<ZTK::IZtImage*>(pc);
    EXPECT_EQ(compare_images(v, c), 0);
    EXPECT_EQ(compare_images(v, c, ImageWalk::PerPixel), 0);
    ASSERT_EQ(ZtImageSetPixel(image, 0, 1, 1, 9), 0); // outside the view
    EXPECT_EQ(compare_images(v, c), 0);
    ASSERT_EQ(ZtImageSetPixel(image, 0, 6, 5, 9), 0); // its last pixel
    EXPECT_EQ(compare_images(v, c), -1);
    EXPECT_EQ(compare_images(v, c, ImageWalk::PerPixel), -1);
    for (ZTIMAGE h : {image, view, copy})
        ZtRelease(h);
}

} // namespace

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

// One-plane image laid out as asked, reached only through its linear-access
// table, as the comparison must.
class FakeImage : public ZTK::IZtImage {
public:
    FakeImage(int32_t width, int32_t height, uint32_t type, Layout layout = Layout::Packed)
        : width_(width), height_(height), type_(type), e_(BytesPerPixel(type)) {
        int64_t column = e_, line = width * e_, first = 0;
        if (layout == Layout::PaddedLines)
            line += 13; // odd: lines are also misaligned
        if (layout == Layout::ReversedColumns)
            column = -e_, first = (width - 1) * e_;
        if (layout == Layout::SpacedColumns)
            column = 2 * e_, line = 2 * width * e_;
        memory_.assign(static_cast<size_t>(line * height + 2 * width * e_ + 3), 0);
        for (int32_t i = 0; i < std::max(width, height); ++i)
            table_.push_back({first + i * column, i * line});
    }
    unsigned char* at(int32_t x, int32_t y) { return memory_.data() + 3 + table_[x].x + table_[y].y; }
    template <class T>
    void set(int32_t x, int32_t y, T value) {
        std::memcpy(at(x, y), &value, sizeof(T));
    }
    void copy_pixels_from(FakeImage& other) {
        for (int32_t y = 0; y < height_; ++y)
            for (int32_t x = 0; x < width_; ++x)
                std::memcpy(at(x, y), other.at(x, y), e_);
    }

    bool fail_dimension = false, fail_access = false;

    int32_t GetDimension(int32_t* planes, int32_t* width, int32_t* height) override {
        *planes = 1, *width = width_, *height = height_;
        return fail_dimension ? -1 : 0;
    }
    int32_t GetPlaneDataType(int32_t, uint32_t* type) override { return *type = type_, 0; }
    int32_t GetLinearAccess(int32_t, void** base, const ZTK::ZtLinearEntry** table) override {
        *base = memory_.data() + 3, *table = table_.data();
        return fail_access ? -1 : 0;
    }
    int32_t Reserved() override { return -1; }
    int32_t SetCoordinateSystem(const void*) override { return 0; }

private:
    int32_t width_, height_;
    uint32_t type_;
    int64_t e_;
    std::vector<unsigned char> memory_;
    std::vector<ZTK::ZtLinearEntry> table_;
};

// Both walks, which must always agree.
int32_t compare_both_ways(FakeImage& a, FakeImage& b) {
    const int32_t fastest = compare_images(a, b, ImageWalk::Fastest);
    EXPECT_EQ(fastest, compare_images(a, b, ImageWalk::PerPixel));
    return fastest;
}

TEST(ImageCompare, PixelEqualityByType) {
    const double nan = std::numeric_limits<double>::quiet_NaN();
    struct Case {
        uint32_t type_a, type_b;
        double a, b; // written as the plane's element type at (66, 1)
        int32_t expected;
    } cases[] = {
        {ZT_DT_F32, ZT_DT_F32, 0.0, -0.0, 0},  {ZT_DT_F64, ZT_DT_F64, 0.0, -0.0, 0},
        {ZT_DT_F32, ZT_DT_F32, nan, nan, -1},  {ZT_DT_F64, ZT_DT_F64, nan, nan, -1},
        {ZT_DT_F32, ZT_DT_F32, 1.0, 1.5, -1},  {ZT_DT_U16, ZT_DT_U16, 0x8000, 0x8000, 0},
        {ZT_DT_U16, ZT_DT_U16, 0x8000, 0x8001, -1},
        // Another pixel type is another image, even with equal bytes.
        {ZT_DT_U8, ZT_DT_U16, 0, 0, -1},       {ZT_DT_U8, ZT_DT_S8, 0, 0, -1},
        {ZT_DT_U8, ZT_DT_U8 | 0x1000, 0, 0, 0}, // flags above the pixel type do not count
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << std::hex << c.type_a << " " << c.a << " / " << c.type_b << " " << c.b);
        FakeImage a(70, 2, c.type_a), b(70, 2, c.type_b, Layout::PaddedLines);
        for (auto [image, type, v] : {std::tuple{&a, c.type_a, c.a}, std::tuple{&b, c.type_b, c.b}}) {
            if (type == ZT_DT_F32)
                image->set<float>(66, 1, static_cast<float>(v));
            else if (type == ZT_DT_F64)
                image->set<double>(66, 1, v);
            else if (type == ZT_DT_U16)
                image->set<uint16_t>(66, 1, static_cast<uint16_t>(v));
        }
        EXPECT_EQ(compare_both_ways(a, b), c.expected);
    }
}

TEST(ImageCompare, GeometryAndFailedQueriesMakeImagesDifferent) {
    FakeImage a(4, 4, ZT_DT_U8), b(4, 4, ZT_DT_U8), wider(5, 4, ZT_DT_U8), taller(4, 5, ZT_DT_U8);
    EXPECT_EQ(compare_both_ways(a, b), 0);
    EXPECT_EQ(compare_both_ways(a, wider), -1);
    EXPECT_EQ(compare_both_ways(a, taller), -1);
    b.fail_dimension = true;
    EXPECT_EQ(compare_both_ways(a, b), -1);
    b.fail_dimension = false, b.fail_access = true;
    EXPECT_EQ(compare_both_ways(a, b), -1);
}

// Every layout against every other (lines contiguous or not, columns
// reversed or spaced), every pixel size, equal or with one differing pixel.
TEST(ImageCompare, LineWalkAgreesWithPixelWalkOnEveryLayout) {
    const Layout layouts[] = {Layout::Packed, Layout::PaddedLines, Layout::ReversedColumns, Layout::SpacedColumns};
    std::mt19937 random(7);
    for (Layout la : layouts)
        for (Layout lb : layouts)
            for (uint32_t type : {ZT_DT_U8, ZT_DT_S16, ZT_DT_U32, ZT_DT_U64, ZT_DT_F32, ZT_DT_F64})
                for (int32_t width : {1, 63, 64, 131}) {
                    SCOPED_TRACE(testing::Message() << int(la) << "/" << int(lb) << " " << type << " " << width);
                    FakeImage a(width, 3, type, la), b(width, 3, type, lb);
                    for (int32_t y = 0; y < 3; ++y)
                        for (int32_t x = 0; x < width; ++x)
                            a.set<uint8_t>(x, y, static_cast<uint8_t>(random() % 100 + 1));
                    b.copy_pixels_from(a);
                    EXPECT_EQ(compare_both_ways(a, b), 0);
                    b.set<uint8_t>(static_cast<int32_t>(random() % width), static_cast<int32_t>(random() % 3), 0);
                    EXPECT_EQ(compare_both_ways(a, b), -1);
                }
}

} // namespace

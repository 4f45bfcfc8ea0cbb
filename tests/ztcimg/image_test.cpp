#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "image_holder.hpp"

using ztcimg_test::Image;
using ztcimg_test::interface_of;

namespace {

struct TypeCase {
    uint32_t word;
    int32_t bytes;
    bool is_signed, is_float;
    double in, out; // a value set and what reading it back gives
};

const TypeCase kTypes[] = {
    {ZT_DT_U8, 1, false, false, 300.0, 255.0},
    {ZT_DT_U8, 1, false, false, 2.6, 3.0},
    {ZT_DT_S8, 1, true, false, -200.0, -128.0},
    {ZT_DT_U16, 2, false, false, -5.0, 0.0},
    {ZT_DT_S16, 2, true, false, 40000.0, 32767.0},
    {ZT_DT_U32, 4, false, false, 1e12, 4294967295.0},
    {ZT_DT_S32, 4, true, false, -2147483648.0, -2147483648.0},
    {ZT_DT_U64, 8, false, false, 1e30, 18446744073709551615.0},
    {ZT_DT_S64, 8, true, false, -1e30, -9223372036854775808.0},
    {ZT_DT_F32, 4, true, true, 0.1, static_cast<double>(0.1f)},
    {ZT_DT_F32, 4, true, true, 1e40, std::numeric_limits<double>::infinity()},
    {ZT_DT_F64, 8, true, true, 0.1, 0.1},
    {1, 1, false, false, 5.0, 1.0},                        // one bit
    {0x104, 1, true, false, -100.0, -8.0},                 // signed four bits
    {12, 2, false, false, 5000.0, 4095.0},
    {24, 4, false, false, 1.0, 1.0},
    {0x130, 8, true, false, 1e20, 140737488355327.0},     // signed 48 bits
    {ZT_DT_U8 | 0x4000, 1, false, false, 7.0, 7.0},       // flag bits are kept apart
};

TEST(ZtImageTest, EveryDataTypeHoldsAndClampsItsValues) {
    for (const TypeCase& c : kTypes) {
        SCOPED_TRACE(c.word);
        EXPECT_EQ(BytesPerPixel(c.word), c.bytes);
        EXPECT_EQ(IsSignedDatatype(c.word), c.is_signed ? 1 : 0);
        EXPECT_EQ(IsFloatDatatype(c.word), c.is_float ? 1 : 0);

        Image img(ZtImageCreate(3, 2, 1, c.word));
        ASSERT_TRUE(img);
        EXPECT_EQ(ZtImagePlaneDataType(img.get(), 0), c.word);
        EXPECT_EQ(img.at(2, 1), 0.0);
        ASSERT_EQ(ZtImageSetPixel(img.get(), 0, 2, 1, c.in), 0);
        EXPECT_EQ(img.at(2, 1), c.out);
        EXPECT_EQ(img.at(1, 1), 0.0);

        void* base = nullptr;
        const ZTK::ZtLinearEntry* table = nullptr;
        ASSERT_GE(interface_of(img.get())->GetLinearAccess(0, &base, &table), 0);
        EXPECT_EQ(table[1].x, c.bytes);
        EXPECT_EQ(table[1].y, 3 * c.bytes);
        EXPECT_EQ(table[2].x, 2 * c.bytes); // max(width, height) entries
    }
}

TEST(ZtImageTest, InvalidWordsAndSizesMakeNoImage) {
    for (uint32_t word : {0u, 65u, 0x220u, 0x310u, 0x308u, 0x200u}) {
        SCOPED_TRACE(word);
        EXPECT_EQ(BytesPerPixel(word), 0);
        EXPECT_EQ(ZtImageCreate(2, 2, 1, word), 0u);
    }
    const int32_t m = std::numeric_limits<int32_t>::max();
    const int32_t sizes[][3] = {{0, 1, 1}, {1, -1, 1}, {1, 1, 0}, {m, m, 1}, {m, m, m}, {1, 1, m}, {65536, 65536, 8}};
    for (const auto& s : sizes)
        EXPECT_EQ(ZtImageCreate(s[0], s[1], s[2], ZT_DT_F64), 0u) << s[0] << "x" << s[1] << "x" << s[2];
    const uint32_t words[] = {ZT_DT_U8, 0};
    EXPECT_EQ(ZtImageCreatePlanes(2, 2, 2, words), 0u);
    EXPECT_EQ(ZtImageCreatePlanes(2, 2, 1, nullptr), 0u);
}

TEST(ZtImageTest, AnAreaOfTheSameSizeIsAViewOnTheSourcePixels) {
    Image src(ZtImageCreate(4, 3, 2, ZT_DT_S16));
    ztcimg_test::fill_pattern(src.get());
    Image view;
    ASSERT_NE(ZtImageMapArea(src.get(), 1, 1, 2, 2, 2, 2, view.out()), 0);
    for (int32_t p = 0; p < 2; ++p)
        for (int32_t y = 0; y < 2; ++y)
            for (int32_t x = 0; x < 2; ++x)
                EXPECT_EQ(view.at(x, y, p), src.at(x + 1, y + 1, p));
    ZtImageSetPixel(src.get(), 1, 2, 2, 99.0);
    EXPECT_EQ(view.at(1, 1, 1), 99.0);

    // The view outlives its source and still reads its pixels.
    ZtImageReleaseHandle(src.out());
    EXPECT_EQ(view.at(1, 1, 1), 99.0);
    void* base = nullptr;
    const ZTK::ZtLinearEntry* table = nullptr;
    ASSERT_GE(interface_of(view.get())->GetLinearAccess(1, &base, &table), 0);
    int16_t raw = 0;
    std::memcpy(&raw, static_cast<uint8_t*>(base) + table[1].x + table[1].y, sizeof raw);
    EXPECT_EQ(raw, 99);
}

TEST(ZtImageTest, AnAreaOfAnotherSizeIsResampledIntoOwnMemory) {
    Image src(ZtImageCreate(2, 2, 1, ZT_DT_F64));
    ZtImageSetPixel(src.get(), 0, 1, 0, 10.0);
    ZtImageSetPixel(src.get(), 0, 1, 1, 10.0);
    Image wide;
    ASSERT_NE(ZtImageMapArea(src.get(), 0, 0, 1, 0, 3, 1, wide.out()), 0);
    EXPECT_EQ(wide.at(0, 0), 0.0);
    EXPECT_EQ(wide.at(1, 0), 5.0);
    EXPECT_EQ(wide.at(2, 0), 10.0);
    Image one;
    ASSERT_NE(ZtImageMapArea(src.get(), 0, 0, 1, 1, 1, 1, one.out()), 0);
    EXPECT_EQ(one.at(0, 0), 5.0);
    ZtImageSetPixel(src.get(), 0, 0, 0, 7.0);
    EXPECT_EQ(wide.at(0, 0), 0.0);
}

TEST(ZtImageTest, AQuarterTurnMovesEveryPixel) {
    Image src(ZtImageCreate(3, 2, 1, ZT_DT_F64));
    ztcimg_test::fill_pattern(src.get());
    double m[4];
    ZtImageRotationMatrix(90.0, m);
    Image out;
    ASSERT_NE(ZtImageTransformByMatrix(src.get(), m, out.out()), 0);
    ASSERT_EQ(ZtImageWidth(out.get()), 2);
    ASSERT_EQ(ZtImageHeight(out.get()), 3);
    // (x, y) goes to (-y, x), shifted into the result.
    for (int32_t y = 0; y < 3; ++y)
        for (int32_t x = 0; x < 2; ++x)
            EXPECT_EQ(out.at(x, y), src.at(y, 1 - x)) << x << "," << y;

    const double nan = std::numeric_limits<double>::quiet_NaN();
    const double bad[][4] = {{1, 2, 2, 4}, {0, 0, 0, 0}, {nan, 0, 0, 1}, {1e-9, 0, 0, 1}, {1e6, 0, 0, 1e6}};
    for (const auto& b : bad) {
        ZTIMAGE h = 5;
        EXPECT_EQ(ZtImageTransformByMatrix(src.get(), b, &h), 0);
        EXPECT_EQ(h, 0u);
    }
}

} // namespace

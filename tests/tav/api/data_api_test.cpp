#include <climits>
#include <functional>
#include <vector>

#include <gtest/gtest.h>
#include <tav/tav.h>

#include "support/reports.hpp"

using tav_test::last_report;
using tav_test::ReportWatch;

namespace {

TAVDATA vector_data(std::vector<float> v) { return TavCreateVectorData(v.data(), v.size()); }

double pixel(ZTIMAGE image, int32_t x, int32_t y) {
    double v = -1;
    EXPECT_EQ(ZtImageGetPixel(image, 0, x, y, &v), 0);
    return v;
}

ZTIMAGE image_of(TAVDATA data) {
    ZTIMAGE image = 0;
    EXPECT_EQ(TavGetImageData(data, &image), 0);
    return image;
}

class ImageData : public ::testing::Test {
protected:
    void SetUp() override {
        image_ = ZtImageCreate(6, 4, 1, ZT_DT_U8);
        for (int32_t y = 0; y < 4; ++y)
            for (int32_t x = 0; x < 6; ++x)
                ZtImageSetPixel(image_, 0, x, y, x + 10 * y);
    }
    void TearDown() override { ZtRelease(image_); }
    ZTIMAGE image_ = 0;
};

TEST_F(ImageData, CreationValidatesTheArea) {
    struct Case {
        int32_t left, top, width, height, code;
    } cases[] = {
        {0, 0, 6, 4, 0},
        {2, 1, 3, 2, 0},
        {1, 0, 6, 4, TAV_E_INVALID_VALUE},
        {-1, 0, 1, 1, TAV_E_INVALID_VALUE},
        {0, 1, 6, 4, TAV_E_INVALID_VALUE},
        {1, 0, INT32_MAX, 1, TAV_E_INVALID_VALUE}, // left + width must not wrap
        {0, 0, 0, 4, TAV_E_FAILURE},               // an empty area is the image library's failure
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.left << "," << c.top << " " << c.width << "x" << c.height);
        ReportWatch watch;
        const TAVDATA d = TavCreateImageData(image_, c.left, c.top, c.width, c.height);
        EXPECT_EQ(ZtRefCount(image_), 1);
        if (c.code != 0) {
            EXPECT_EQ(d, 0u);
            EXPECT_TRUE(watch.one(c.code, "TavCreateImageData"));
            EXPECT_EQ(last_report().message,
                      c.code == TAV_E_INVALID_VALUE
                          ? "The input values lead to a feature window which is located partly outside the image"
                          : "");
            continue;
        }
        ASSERT_NE(d, 0u);
        EXPECT_TRUE(watch.none());
        EXPECT_EQ(ZtRefCount(d), 1);
        EXPECT_EQ(ZtImageWidth(image_of(d)), c.width);
        EXPECT_EQ(pixel(image_of(d), 0, 0), c.left + 10 * c.top);
        ZtRelease(d);
    }
}

TEST_F(ImageData, KeepsAPrivateCopyAndLendsItsImage) {
    const TAVDATA whole = TavCreateImageData(image_, 0, 0, 6, 4), part = TavCreateImageData(image_, 1, 1, 2, 2);
    ZtImageSetPixel(image_, 0, 1, 1, 200);
    EXPECT_EQ(pixel(image_of(whole), 1, 1), 11);
    EXPECT_EQ(pixel(image_of(part), 0, 0), 11);

    const ZTIMAGE lent = image_of(whole);
    const int64_t refs = ZtRefCount(lent);
    EXPECT_EQ(image_of(whole), lent);
    EXPECT_EQ(ZtRefCount(lent), refs);
    EXPECT_EQ(TavGetImageData(whole, nullptr), TAV_E_INVALID_ARGUMENT);

    // Each data class refuses the other's getter.
    const TAVDATA v = vector_data({1});
    ZTIMAGE out = 77;
    uint64_t count = 0;
    ReportWatch watch;
    EXPECT_EQ(TavGetImageData(v, &out), TAV_E_INCOMPATIBLE);
    EXPECT_TRUE(watch.one(TAV_E_INCOMPATIBLE, "TavGetImageData"));
    EXPECT_EQ(out, 77u);
    EXPECT_EQ(TavGetFloatVectorData(whole, nullptr, &count), TAV_E_INCOMPATIBLE);
    for (ZTHANDLE h : {whole, part, v})
        ZtRelease(h);
}

} // namespace

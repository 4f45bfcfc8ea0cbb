// The image library: data types, areas, transforms, the stored form, and
// the error facility.
#include <gtest/gtest.h>

#include <array>
#include <cstring>
#include <limits>
#include <string>
#include <vector>

#include <zt/ztcimg.h>

#include "support/reports.hpp"

namespace {

// An image handle owned by a test, released on scope exit.
class Image {
public:
    explicit Image(ZTIMAGE h = 0) : h_(h) {}
    ~Image() { ZtImageReleaseHandle(&h_); }
    Image(const Image&) = delete;
    ZTIMAGE get() const { return h_; }
    ZTIMAGE* out() { ZtImageReleaseHandle(&h_); return &h_; }
    explicit operator bool() const { return h_ != 0; }
    double at(int32_t x, int32_t y, int32_t plane = 0) const {
        double v = -12345.0;
        ZtImageGetPixel(h_, plane, x, y, &v);
        return v;
    }
    std::vector<uint8_t> stored() const {
        std::vector<uint8_t> blob(ZtImageStoredSize(h_));
        if (ZtImageWriteToMemory(h_, blob.data(), blob.size()) == 0)
            blob.clear();
        return blob;
    }
    // Plane p's first pixel in memory and its linear access table.
    uint8_t* linear(int32_t p, const ZTK::ZtLinearEntry** table) const {
        void* iface = nullptr;
        void* base = nullptr;
        EXPECT_GE(ZtQueryInterface(h_, ZT_IMAGE_INTERFACE_ID, &iface), 0);
        EXPECT_GE(static_cast<ZTK::IZtImage*>(iface)->GetLinearAccess(p, &base, table), 0);
        return static_cast<uint8_t*>(base);
    }

private:
    ZTIMAGE h_;
};

// Fills every plane with a pattern that differs per pixel and plane.
void fill_pattern(ZTIMAGE h) {
    for (int32_t p = 0; p < ZtImagePlaneCount(h); ++p)
        for (int32_t y = 0; y < ZtImageHeight(h); ++y)
            for (int32_t x = 0; x < ZtImageWidth(h); ++x)
                ZtImageSetPixel(h, p, x, y, (x * 7 + y * 3 + p * 5) % 11 - 3);
}

const double kNaN = std::numeric_limits<double>::quiet_NaN();

// Each type holds its values, clamped, and lays them out at its width; pixels
// one step outside the image, or a plane past the last, are refused.
TEST(ZtImageTest, EveryDataTypeHoldsAndClampsItsValuesWithinTheEdges) {
    const struct {
        uint32_t word;
        int32_t bytes;
        bool is_signed, is_float;
        double in, out; // a value set and what reading it back gives
    } types[] = {
        {ZT_DT_U8, 1, false, false, 300.0, 255.0},
        {ZT_DT_U8, 1, false, false, 2.6, 3.0},
        {ZT_DT_S8, 1, true, false, -200.0, -128.0},
        {ZT_DT_U16, 2, false, false, -5.0, 0.0},
        {ZT_DT_S16, 2, true, false, 40000.0, 32767.0},
        {ZT_DT_S16, 2, true, false, kNaN, 0.0},
        {ZT_DT_U32, 4, false, false, 1e12, 4294967295.0},
        {ZT_DT_S32, 4, true, false, -2147483648.0, -2147483648.0},
        {ZT_DT_U64, 8, false, false, 1e30, 18446744073709551615.0},
        {ZT_DT_S64, 8, true, false, -1e30, -9223372036854775808.0},
        {ZT_DT_F32, 4, true, true, 0.1, static_cast<double>(0.1f)},
        {ZT_DT_F32, 4, true, true, 1e40, std::numeric_limits<double>::infinity()},
        {ZT_DT_F64, 8, true, true, 0.1, 0.1},
        {1, 1, false, false, 5.0, 1.0},                    // one bit
        {0x104, 1, true, false, -100.0, -8.0},             // signed four bits
        {12, 2, false, false, 5000.0, 4095.0},
        {24, 4, false, false, 1.0, 1.0},
        {0x130, 8, true, false, 1e20, 140737488355327.0}, // signed 48 bits
        {ZT_DT_U8 | 0x4000, 1, false, false, 7.0, 7.0},   // flag bits are kept apart
    };
    for (const auto& c : types) {
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
        double v = 0;
        for (auto [plane, x, y] : {std::array{0, 3, 0}, {0, 0, 2}, {0, -1, 0}, {0, 0, -1}, {1, 0, 0}}) {
            EXPECT_NE(ZtImageGetPixel(img.get(), plane, x, y, &v), 0) << plane << " " << x << "," << y;
            EXPECT_NE(ZtImageSetPixel(img.get(), plane, x, y, c.in), 0) << plane << " " << x << "," << y;
        }
        EXPECT_EQ(img.at(2, 1), c.out); // nothing was written outside
        const ZTK::ZtLinearEntry* table = nullptr;
        img.linear(0, &table);
        EXPECT_EQ(table[1].x, c.bytes);
        EXPECT_EQ(table[1].y, 3 * c.bytes);
        EXPECT_EQ(table[2].x, 2 * c.bytes); // max(width, height) entries
    }
}

// The image library answers failures by return value only; the caller reports, once.
TEST(ZtImageTest, InvalidWordsAndSizesMakeNoImageAndReportNothing) {
    tav_test::ReportLog log;
    for (uint32_t word : {0u, 65u, 0x220u, 0x310u, 0x308u, 0x200u}) {
        EXPECT_EQ(BytesPerPixel(word), 0) << word;
        EXPECT_EQ(ZtImageCreate(2, 2, 1, word), 0u) << word;
    }
    const int32_t m = std::numeric_limits<int32_t>::max();
    const int32_t sizes[][3] = {{0, 1, 1}, {1, -1, 1}, {1, 1, 0}, {m, m, 1}, {m, m, m}, {1, 1, m}, {65536, 65536, 8}};
    for (const auto& s : sizes)
        EXPECT_EQ(ZtImageCreate(s[0], s[1], s[2], ZT_DT_F64), 0u) << s[0] << "x" << s[1] << "x" << s[2];
    const uint32_t words[] = {ZT_DT_U8, 0};
    EXPECT_EQ(ZtImageCreatePlanes(2, 2, 2, words), 0u);
    EXPECT_EQ(ZtImageCreatePlanes(2, 2, 1, nullptr), 0u);
    ZTIMAGE area = 5;
    EXPECT_EQ(ZtImageMapArea(0, 0, 0, 1, 1, 1, 1, &area), 0);
    EXPECT_EQ(area, 0u);
    EXPECT_TRUE(log.take().empty());
}

TEST(ZtImageTest, AnAreaOfTheSameSizeIsAViewOnTheSourcePixels) {
    Image src(ZtImageCreate(4, 3, 2, ZT_DT_S16));
    fill_pattern(src.get());
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
    const ZTK::ZtLinearEntry* table = nullptr;
    const uint8_t* base = view.linear(1, &table);
    int16_t raw = 0;
    std::memcpy(&raw, base + table[1].x + table[1].y, sizeof raw);
    EXPECT_EQ(raw, 99);
}

TEST(ZtImageTest, AnAreaOfAnotherSizeIsResampledIntoOwnMemory) {
    Image src(ZtImageCreate(2, 2, 1, ZT_DT_F64));
    ZtImageSetPixel(src.get(), 0, 1, 0, 10.0);
    ZtImageSetPixel(src.get(), 0, 1, 1, 10.0);
    Image wide, one;
    ASSERT_NE(ZtImageMapArea(src.get(), 0, 0, 1, 0, 3, 1, wide.out()), 0);
    EXPECT_EQ(wide.at(0, 0), 0.0);
    EXPECT_EQ(wide.at(1, 0), 5.0);
    EXPECT_EQ(wide.at(2, 0), 10.0);
    ASSERT_NE(ZtImageMapArea(src.get(), 0, 0, 1, 1, 1, 1, one.out()), 0);
    EXPECT_EQ(one.at(0, 0), 5.0);
    ZtImageSetPixel(src.get(), 0, 0, 0, 7.0);
    EXPECT_EQ(wide.at(0, 0), 0.0);
    // An area of one column is an area; one outside, turned round, or
    // mapped to nothing is refused.
    Image column;
    ASSERT_NE(ZtImageMapArea(src.get(), 1, 0, 1, 1, 1, 2, column.out()), 0);
    EXPECT_EQ(column.at(0, 1), 10.0);
    const int32_t refused[][6] = {{1, 0, 0, 1, 1, 1}, {0, 1, 1, 0, 1, 1}, {0, 0, 2, 1, 1, 1},
                                  {0, 0, 1, 2, 1, 1}, {0, 0, 1, 1, 0, 1}, {0, 0, 1, 1, 1, 0}};
    for (const auto& r : refused) {
        ZTIMAGE h = 5;
        EXPECT_EQ(ZtImageMapArea(src.get(), r[0], r[1], r[2], r[3], r[4], r[5], &h), 0) << r[0] << r[2] << r[4];
        EXPECT_EQ(h, 0u);
    }
}

TEST(ZtImageTest, AQuarterTurnMovesEveryPixel) {
    Image src(ZtImageCreate(3, 2, 1, ZT_DT_F64));
    fill_pattern(src.get());
    double m[4];
    ZtImageRotationMatrix(90.0, m);
    Image out;
    ASSERT_NE(ZtImageTransformByMatrix(src.get(), m, out.out()), 0);
    ASSERT_EQ(ZtImageWidth(out.get()), 2);
    ASSERT_EQ(ZtImageHeight(out.get()), 3);
    double px = 0, py = 0;
    ZtImageTransformPoint(2, 1, m, &px, &py);
    EXPECT_NEAR(px, -1, 1e-12);
    EXPECT_NEAR(py, 2, 1e-12);
    ZtImageTransformPoint(2, 1, nullptr, &px, &py); // no matrix: nothing written
    EXPECT_NEAR(px, -1, 1e-12);
    // (x, y) goes to (-y, x), shifted into the result.
    for (int32_t y = 0; y < 3; ++y)
        for (int32_t x = 0; x < 2; ++x)
            EXPECT_EQ(out.at(x, y), src.at(y, 1 - x)) << x << "," << y;
    const double bad[][4] = {{1, 2, 2, 4}, {0, 0, 0, 0}, {kNaN, 0, 0, 1}, {1e-9, 0, 0, 1}, {1e6, 0, 0, 1e6}};
    for (const auto& b : bad) {
        ZTIMAGE h = 5;
        EXPECT_EQ(ZtImageTransformByMatrix(src.get(), b, &h), 0);
        EXPECT_EQ(h, 0u);
    }
}

// The stored form: a header of u32 words (version at 8, width 12, height 16,
// plane count 20, then one data type word per plane) and the pixels.
// Every blob loaded also goes through the check and the in-place view, which
// must accept exactly the same blobs; a view stores back to the same bytes,
// uses them in place when aligned, and releases them exactly once.
ZTIMAGE load(const std::vector<uint8_t>& blob) {
    ZTIMAGE out = 42;
    const bool ok = ZtImageLoadFromMemory(blob.data(), blob.size(), &out) != 0;
    EXPECT_EQ(ok, out != 0);
    EXPECT_EQ(ZtImageCheckStoredForm(blob.data(), blob.size()) != 0, ok);
    std::vector<uint8_t> kept = blob;
    int released = 0;
    ZTIMAGE view = 7;
    const int32_t how = ZtImageViewStoredForm(kept.data(), kept.size(), [](void* c) { ++*static_cast<int*>(c); },
                                              &released, &view);
    EXPECT_EQ(how != 0, ok);
    if (Image v(view); v) {
        EXPECT_EQ(v.stored(), blob);
        const ZTK::ZtLinearEntry* table = nullptr;
        EXPECT_EQ(how == 1, v.linear(0, &table) == kept.data() + 24 + 4 * ZtImagePlaneCount(v.get()));
    }
    EXPECT_EQ(released, 1);
    return out;
}

std::vector<uint8_t> sample_blob() {
    const uint32_t words[] = {ZT_DT_U8, 0x104, ZT_DT_F32};
    Image img(ZtImageCreatePlanes(3, 2, 3, words));
    fill_pattern(img.get());
    return img.stored();
}

// Loaded images share blocks of memory; each must keep pixels of its own,
// suitably aligned, whatever is released or loaded around it.
TEST(ZtImageStoredFormTest, ImagesLoadedInBulkKeepTheirOwnPixels) {
    const uint32_t words[] = {ZT_DT_U8, ZT_DT_F32};
    const std::vector<uint8_t> small = Image(ZtImageCreatePlanes(33, 17, 2, words)).stored();
    const std::vector<uint8_t> large = Image(ZtImageCreate(300, 300, 1, ZT_DT_U8)).stored();
    std::vector<Image> images(3000);
    auto mark = [&](std::size_t i) {
        for (int32_t p = 0; p < 2; ++p)
            for (int32_t y = 0; y < 17; y += 4)
                ZtImageSetPixel(images[i].get(), p, i % 33, y, double(i % 200 + p));
    };
    auto check = [&](std::size_t i) {
        const ZTK::ZtLinearEntry* table = nullptr;
        EXPECT_EQ(reinterpret_cast<uintptr_t>(images[i].linear(1, &table)) % alignof(float), 0u) << i;
        for (int32_t p = 0; p < 2; ++p)
            for (int32_t y = 0; y < 17; ++y)
                for (int32_t x = 0; x < 33; ++x)
                    ASSERT_EQ(images[i].at(x, y, p), (x == int32_t(i % 33) && y % 4 == 0) ? double(i % 200 + p) : 0.0)
                        << i << " " << p << " " << x << " " << y;
    };
    for (std::size_t i = 0; i < images.size(); ++i) {
        *images[i].out() = load(i % 100 == 99 ? large : small);
        if (i % 100 != 99)
            mark(i);
    }
    for (std::size_t i = 0; i < images.size(); i += 2)
        *images[i].out() = load(small), mark(i);
    for (std::size_t i = 0; i < images.size(); ++i)
        if (i % 100 != 99)
            check(i);
}

TEST(ZtImageStoredFormTest, ShortOrLongBlobsAreRefusedWithoutAReport) {
    auto blob = sample_blob();
    tav_test::ReportLog log;
    EXPECT_FALSE(load({blob.begin(), blob.end() - 1}));
    blob.push_back(0);
    EXPECT_FALSE(load(blob));
    ZTIMAGE out = 1;
    EXPECT_EQ(ZtImageLoadFromMemory(nullptr, 10, &out), 0);
    EXPECT_EQ(out, 0u);
    EXPECT_EQ(ZtImageLoadFromMemory(blob.data(), blob.size(), nullptr), 0);
    EXPECT_TRUE(log.take().empty());
}

// The first pixel of the 4-bit plane (before 3 x 2 floats), pushed out of its range.
TEST(ZtImageStoredFormTest, PixelOutsideItsPlaneRangeIsRefused) {
    auto beyond = sample_blob();
    beyond[beyond.size() - 24 - 6] ^= 0x80;
    EXPECT_FALSE(load(beyond));
}

TEST(ZtImageStoredFormTest, InconsistentHeadersAreRefused) {
    const uint32_t m = std::numeric_limits<int32_t>::max();
    const std::vector<std::vector<std::pair<size_t, uint32_t>>> patches = {
        {{8, 2}}, {{12, m}}, {{16, m}}, {{12, 0}}, {{16, ~0u}}, {{20, m}},
        {{20, 2}}, {{20, 4}},                 // fewer or more planes than the pixels hold
        {{28, 0x220}},                        // float without sign
        {{28, ZT_DT_U16}}, {{28, 0}},         // more pixel bytes than present; no type
        // Width and height whose product overflows even 64 bits with the depth.
        {{12, m}, {16, m}, {20, 1}, {24, ZT_DT_F64}},
    };
    for (const auto& patch : patches) {
        auto blob = sample_blob();
        for (const auto& [at, value] : patch)
            for (int i = 0; i < 4; ++i)
                blob[at + i] = static_cast<uint8_t>(value >> (8 * i));
        EXPECT_FALSE(load(blob)) << patch[0].first << "=" << patch[0].second;
    }
}

void record(void* context, int32_t code, const char* message, const char* function) {
    static_cast<std::vector<std::string>*>(context)->push_back(std::to_string(code) + " " +
                                                               (message ? message : "(null)") + " " +
                                                               (function ? function : "(null)"));
}

void report_again(void* context, int32_t, const char*, const char*) {
    ++*static_cast<int*>(context);
    ZtReportError(2, "FromHandler");
}

// The handler sees every report, but not one made from inside itself; the
// thread keeps the last report either way.
TEST(ZtErrorFacilityTest, TheHandlerSeesEveryOuterReportAndTheThreadKeepsTheLast) {
    std::vector<std::string> seen;
    ZtSetErrorHandler(record, &seen);
    const uint64_t start = ZtErrorReportCount();
    ZtReportError(-5, "TavFirst");
    ZtReportErrorWithMessage(-6, "outside", "TavSecond");
    ZtReportErrorWithMessage(7, nullptr, nullptr);
    const char* function = "x";
    const char* message = "x";
    EXPECT_EQ(ZtGetLastError(&function, &message), 7);
    EXPECT_EQ(function, nullptr);
    EXPECT_EQ(message, nullptr);
    ZtSetErrorHandler(nullptr, &seen);
    ZtReportError(1, "TavUnseen");
    EXPECT_EQ(seen, (std::vector<std::string>{"-5 (null) TavFirst", "-6 outside TavSecond", "7 (null) (null)"}));
    EXPECT_EQ(ZtErrorReportCount() - start, 4u);
    ZtClearLastError();
    EXPECT_EQ(ZtGetLastError(&function, &message), 0);
    EXPECT_EQ(ZtErrorReportCount() - start, 4u);
    int calls = 0;
    ZtSetErrorHandler(report_again, &calls);
    ZtReportError(1, "Outer");
    ZtSetErrorHandler(nullptr, nullptr);
    EXPECT_EQ(calls, 1);
    EXPECT_EQ(ZtErrorReportCount() - start, 6u);
    ZtGetLastError(&function, &message);
    EXPECT_STREQ(function, "FromHandler");
}

} // namespace

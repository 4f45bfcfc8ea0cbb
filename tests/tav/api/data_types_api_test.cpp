#include <climits>
#include <functional>
#include <string>
#include <tuple>
#include <vector>

#include <gtest/gtest.h>
#include <tav/tav.h>

#include "support/bad_handles.hpp"
#include "support/reports.hpp"

using tav_test::last_report;
using tav_test::ReportWatch;

namespace {

constexpr const char* kOutside = "The input values lead to a feature window which is located partly outside the image";
constexpr const char* kEmpty = "The input values lead to a an empty feature window which is not permitted";
constexpr const char* kOrigin = "The input values would put the origin outside the feature window which is not permitted";

struct Window {
    int32_t left, top, width, height, originX, originY;
    bool operator==(const Window&) const = default;
};

Window window_of(TAVDATATYPE t) {
    Window w{-7, -7, -7, -7, -7, -7};
    EXPECT_EQ(TavGetFeatureWindow(t, &w.left, &w.top, &w.width, &w.height, &w.originX, &w.originY), 0);
    return w;
}

struct Call {
    const char* function;
    int32_t code;
    std::function<int32_t()> run;
};

// Each call fails with its code, reported once under its name, without a message.
void expect_failures(const std::vector<Call>& calls, const std::string& context = "") {
    for (const Call& c : calls) {
        ReportWatch watch;
        EXPECT_EQ(c.run(), c.code) << c.function << " " << context;
        EXPECT_TRUE(watch.one(c.code, c.function)) << c.function << " " << context;
        EXPECT_EQ(last_report().message, "") << c.function << " " << context;
    }
}

} // namespace

TEST(CreateDataTypeImage, ValidatesInOrderAndStopsAtTheFirstFailure) {
    struct Case {
        int32_t width, height, planes, left, top, ww, wh, ox, oy;
        const char* message;
    } cases[] = {
        {0, 480, 1, -1, 0, 0, 480, -1, 0, ""}, // sizes come before every window test
        {640, 480, 0, 0, 0, 640, 480, 0, 0, ""},
        {INT32_MIN, 1, 1, 0, 0, 1, 1, 0, 0, ""},
        {640, 480, 1, -1, 0, 0, 480, -1, 0, kOutside}, // corner before empty window
        {640, 480, 1, 0, 480, 640, 1, 0, 0, kOutside},
        {640, 480, 1, 0, 0, 0, 480, 5, 0, kEmpty}, // empty window before origin
        {1, 1, 1, 0, 0, INT32_MIN, 1, 0, 0, kEmpty},
        {640, 480, 1, 10, 0, 631, 480, 700, 0, kOutside}, // reach before origin
        {640, 480, 1, 10, 0, 630, 480, 630, 0, kOrigin},
        {640, 480, 1, 0, 0, 640, 480, 0, 480, kOrigin},
        {1, 1, 1, 0, 0, 1, 1, INT32_MIN, 0, kOrigin},
        // Sums that would wrap in 32 bits must still be refused.
        {INT32_MAX, 1, 1, INT32_MAX - 1, 0, INT32_MAX, 1, 0, 0, kOutside},
        {INT32_MAX, INT32_MAX, 1, 1, 1, 1, INT32_MAX, 0, 0, kOutside},
    };
    for (const Case& c : cases) {
        ReportWatch watch;
        EXPECT_EQ(TavCreateDataTypeImage(c.width, c.height, c.planes, ZT_DT_U8, c.left, c.top, c.ww, c.wh, c.ox, c.oy), 0u);
        EXPECT_TRUE(watch.one(TAV_E_INVALID_VALUE, "TavCreateDataTypeImage")) << c.left << "," << c.ww;
        EXPECT_EQ(last_report().message, c.message) << c.left << "," << c.ww;
    }
}

TEST(CreateDataTypeImage, AcceptsWindowsReachingTheBorderAndKeepsTenPixelTypeBits) {
    struct Case {
        int32_t width, height, left, top, ww, wh, ox, oy, fringeRight, fringeBottom;
    } cases[] = {
        {640, 480, 0, 0, 640, 480, 0, 0, 0, 0},
        {640, 480, 10, 0, 630, 480, 629, 479, 0, 0},
        {640, 480, 0, 0, 1, 1, 0, 0, 639, 479},
        {INT32_MAX, INT32_MAX, INT32_MAX - 1, 0, 1, INT32_MAX, 0, INT32_MAX - 1, 0, 0},
    };
    for (const Case& c : cases) {
        ReportWatch watch;
        const TAVDATATYPE t = TavCreateDataTypeImage(c.width, c.height, 2, 0x1408, c.left, c.top, c.ww, c.wh, c.ox, c.oy);
        ASSERT_NE(t, 0u);
        EXPECT_TRUE(watch.none());
        EXPECT_EQ(ZtRefCount(t), 1);
        EXPECT_EQ(window_of(t), (Window{c.left, c.top, c.ww, c.wh, c.ox, c.oy}));
        int32_t f[4] = {}, w = 0, h = 0, p = 0;
        uint32_t d = 0;
        EXPECT_EQ(TavGetFringes(t, &f[0], &f[1], &f[2], &f[3]), 0);
        EXPECT_EQ((std::vector<int32_t>(f, f + 4)), (std::vector<int32_t>{c.left, c.top, c.fringeRight, c.fringeBottom}));
        EXPECT_EQ(TavGetImageDataGeometry(t, &w, &h, &p, &d), 0);
        EXPECT_EQ((std::vector<int64_t>{w, h, p, d}), (std::vector<int64_t>{c.width, c.height, 2, 0x008}));
        ZtRelease(t);
    }
}

TEST(CreateDataTypeImageEx, IsTheFullWindowAndReportsUnderTheBaseName) {
    const TAVDATATYPE ex = TavCreateDataTypeImageEx(64, 32, 1, ZT_DT_F32, 63, 31);
    const TAVDATATYPE full = TavCreateDataTypeImage(64, 32, 1, ZT_DT_F32, 0, 0, 64, 32, 63, 31);
    EXPECT_EQ(TavCompareDataTypes(ex, full), 0);
    EXPECT_EQ(window_of(ex), window_of(full));
    ZtRelease(ex);
    ZtRelease(full);
    for (auto [width, ox, message] : {std::tuple{0, 0, ""}, {64, 64, kOrigin}, {64, -1, kOrigin}}) {
        ReportWatch watch;
        EXPECT_EQ(TavCreateDataTypeImageEx(width, 32, 1, ZT_DT_U8, ox, 0), 0u);
        EXPECT_TRUE(watch.one(TAV_E_INVALID_VALUE, "TavCreateDataTypeImage"));
        EXPECT_EQ(last_report().message, message);
    }
}

TEST(CompareDataTypes, EqualityIgnoresOriginAndPixelTypeAndClassesCompareOne) {
    const TAVDATATYPE base = TavCreateDataTypeImage(64, 48, 1, ZT_DT_U8, 2, 3, 10, 12, 0, 0);
    const struct {
        const char* what;
        TAVDATATYPE other;
        int32_t expected;
    } cases[] = {
        {"self", base, 0},
        {"origin, pixel type", TavCreateDataTypeImage(64, 48, 1, ZT_DT_F64, 2, 3, 10, 12, 9, 11), 0},
        {"width", TavCreateDataTypeImage(65, 48, 1, ZT_DT_U8, 2, 3, 10, 12, 0, 0), -1},
        {"height", TavCreateDataTypeImage(64, 49, 1, ZT_DT_U8, 2, 3, 10, 12, 0, 0), -1},
        {"planes", TavCreateDataTypeImage(64, 48, 3, ZT_DT_U8, 2, 3, 10, 12, 0, 0), -1},
        {"left", TavCreateDataTypeImage(64, 48, 1, ZT_DT_U8, 1, 3, 11, 12, 0, 0), -1},
        {"top", TavCreateDataTypeImage(64, 48, 1, ZT_DT_U8, 2, 4, 10, 11, 0, 0), -1},
        {"right", TavCreateDataTypeImage(64, 48, 1, ZT_DT_U8, 2, 3, 11, 12, 0, 0), -1},
        {"bottom", TavCreateDataTypeImage(64, 48, 1, ZT_DT_U8, 2, 3, 10, 13, 0, 0), -1},
        {"vector", TavCreateDataTypeFloatVector(1), 1},
    };
    for (const auto& c : cases) {
        ReportWatch watch;
        EXPECT_EQ(TavCompareDataTypes(base, c.other), c.expected) << c.what;
        EXPECT_EQ(TavCompareDataTypes(c.other, base), c.expected) << c.what;
        EXPECT_TRUE(watch.none()) << c.what;
        EXPECT_EQ(ZtRefCount(c.other), 1) << c.what;
    }
    const TAVDATATYPE v2 = TavCreateDataTypeFloatVector(2), v3 = TavCreateDataTypeFloatVector(3);
    EXPECT_EQ(TavCompareDataTypes(v2, v3), -1);
    EXPECT_EQ(TavCompareDataTypes(v3, cases[9].other), -1);
    for (const auto& c : cases)
        if (c.other != base)
            ZtRelease(c.other);
    for (TAVDATATYPE t : {base, v2, v3})
        ZtRelease(t);
}

TEST(DataTypeFunctions, RefuseBadHandlesTheOtherClassAndNullOutputsWithoutWriting) {
    const TAVDATATYPE image = TavCreateDataTypeImageEx(8, 8, 1, ZT_DT_U8, 0, 0);
    const TAVDATATYPE vector = TavCreateDataTypeFloatVector(4);
    const tav_test::BadHandles bad(TavCreateDataTypeFloatVector(3), {{"label type", TavCreateLabelTypeFloatVector(3)},
                                                                    {"image", ZtImageCreate(4, 4, 1, ZT_DT_U8)}});
    int32_t o[6] = {-7, -7, -7, -7, -7, -7};
    uint32_t d = 77;
    uint64_t dim = 77;
    const int32_t A = TAV_E_INVALID_ARGUMENT, I = TAV_E_INCOMPATIBLE;
    auto calls = [&](ZTHANDLE h, ZTHANDLE forVector, int32_t other) -> std::vector<Call> {
        return {
            {"TavCompareDataTypes", A, [=] { return TavCompareDataTypes(h, image); }},
            {"TavCompareDataTypes", A, [=] { return TavCompareDataTypes(image, h); }},
            {"TavGetFeatureWindow", A, [&, h] { return TavGetFeatureWindow(h, &o[0], &o[1], &o[2], &o[3], &o[4], &o[5]); }},
            {"TavSetFeatureWindow", A, [=] { return TavSetFeatureWindow(h, 0, 0, 2, 2, 0, 0); }},
            {"TavGetImageDataGeometry", other, [&, h] { return TavGetImageDataGeometry(h, &o[0], &o[1], &o[2], &d); }},
            {"TavGetFringes", other, [&, h] { return TavGetFringes(h, &o[0], &o[1], &o[2], &o[3]); }},
            {"TavGetFloatVectorDataDim", other, [&, forVector] { return TavGetFloatVectorDataDim(forVector, &dim); }},
        };
    };
    for (const auto& b : bad.all())
        expect_failures(calls(b.handle, b.handle, A), b.what);
    // Asking one class for what only the other has; the two comparisons succeed here.
    auto mismatched = calls(vector, image, I);
    mismatched.erase(mismatched.begin(), mismatched.begin() + 2);
    expect_failures(mismatched, "other class");
    // Null out pointers, the others valid: nothing is written.
    expect_failures({
        {"TavGetFeatureWindow", A, [&] { return TavGetFeatureWindow(image, &o[0], &o[1], &o[2], &o[3], &o[4], nullptr); }},
        {"TavGetFeatureWindow", A, [&] { return TavGetFeatureWindow(image, nullptr, &o[1], &o[2], &o[3], &o[4], &o[5]); }},
        {"TavGetImageDataGeometry", A, [&] { return TavGetImageDataGeometry(image, &o[0], &o[1], &o[2], nullptr); }},
        {"TavGetFringes", A, [&] { return TavGetFringes(image, &o[0], &o[1], &o[2], nullptr); }},
        {"TavGetFloatVectorDataDim", A, [&] { return TavGetFloatVectorDataDim(vector, nullptr); }},
    });
    EXPECT_EQ((std::vector<int32_t>(o, o + 6)), std::vector<int32_t>(6, -7));
    EXPECT_EQ(d, 77u);
    EXPECT_EQ(dim, 77u);
    EXPECT_TRUE(bad.others_untouched());
    EXPECT_EQ(ZtRefCount(image), 1);
    EXPECT_EQ(ZtRefCount(vector), 1);
    ZtRelease(image);
    ZtRelease(vector);
}

TEST(SetFeatureWindow, RefusesInvalidWindowsKeepingTheOldOneAndAcceptsValidOnes) {
    const TAVDATATYPE t = TavCreateDataTypeImage(640, 480, 1, ZT_DT_U8, 10, 20, 100, 50, 3, 4);
    const Window before = window_of(t);
    const Window refused[] = {
        {0, 0, 1, 10, 0, 0}, // one pixel wide: creation accepts it, this does not
        {0, 0, 10, 1, 0, 0},       {-1, 0, 10, 10, 0, 0},     {0, -1, 10, 10, 0, 0},
        {631, 0, 10, 10, 0, 0},    {0, 471, 10, 10, 0, 0},    {0, 0, 10, 10, 10, 0},
        {0, 0, 10, 10, 0, 10},     {0, 0, 10, 10, -1, 0},     {INT32_MAX, 0, INT32_MAX, 10, 0, 0},
        {1, 0, INT32_MAX, 10, 0, 0}, {INT32_MIN, 0, INT32_MAX, 10, 0, 0}, {0, 0, INT32_MIN, 10, 0, 0},
        {0, INT32_MIN, 10, INT32_MIN, 0, 0}, {0, 0, 10, 10, INT32_MAX, INT32_MAX},
    };
    for (const Window& w : refused) {
        expect_failures({{"TavSetFeatureWindow", TAV_E_INVALID_ARGUMENT,
                          [&] { return TavSetFeatureWindow(t, w.left, w.top, w.width, w.height, w.originX, w.originY); }}},
                        std::to_string(w.left) + "," + std::to_string(w.width));
        EXPECT_EQ(window_of(t), before);
    }
    for (const Window& w : {Window{0, 0, 640, 480, 639, 479}, Window{638, 478, 2, 2, 1, 1}, Window{5, 6, 7, 8, 0, 0}}) {
        ReportWatch watch;
        EXPECT_EQ(TavSetFeatureWindow(t, w.left, w.top, w.width, w.height, w.originX, w.originY), 0);
        EXPECT_TRUE(watch.none());
        EXPECT_EQ(window_of(t), w);
    }
    int32_t f[4];
    EXPECT_EQ(TavGetFringes(t, &f[0], &f[1], &f[2], &f[3]), 0);
    EXPECT_EQ((std::vector<int32_t>(f, f + 4)), (std::vector<int32_t>{5, 6, 640 - 11 - 1, 480 - 13 - 1}));
    EXPECT_EQ(ZtRefCount(t), 1);
    ZtRelease(t);
}

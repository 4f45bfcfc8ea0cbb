#include <climits>
#include <functional>
#include <string>
#include <vector>

#include <gtest/gtest.h>
#include <tav/tav.h>

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

// Handles that no data-type function may accept: null, a released data type,
// a made-up value, and live objects of other families.
class BadDataTypeHandles : public ::testing::Test {
protected:
    void SetUp() override {
        const TAVDATATYPE released = TavCreateDataTypeFloatVector(3);
        ZtRelease(released);
        labelType_ = TavCreateLabelTypeFloatVector(3);
        image_ = ZtImageCreate(4, 4, 1, ZT_DT_U8);
        bad_ = {{"null", 0},
                {"released", released},
                {"made up", 0xDEADBEEF12345678ull},
                {"label type", labelType_},
                {"image", image_}};
    }
    void TearDown() override {
        ZtRelease(labelType_);
        ZtRelease(image_);
    }
    struct Bad {
        const char* what;
        ZTHANDLE h;
    };
    std::vector<Bad> bad_;
    ZTHANDLE labelType_ = 0;
    ZTHANDLE image_ = 0;
};

} // namespace

TEST(CreateDataTypeImage, ValidatesInOrderAndStopsAtTheFirstFailure) {
    struct Case {
        int32_t width, height, planes, left, top, ww, wh, ox, oy;
        const char* message; // null: no message
    } cases[] = {
        {0, 480, 1, -1, 0, 0, 480, -1, 0, nullptr},         // sizes first, before every window test
        {640, 480, 0, 0, 0, 640, 480, 0, 0, nullptr},
        {640, -1, 1, 0, 0, 640, 480, 0, 0, nullptr},
        {640, 480, 1, -1, 0, 0, 480, -1, 0, kOutside},       // corner before empty window
        {640, 480, 1, 640, 0, 1, 480, 0, 0, kOutside},
        {640, 480, 1, 0, 480, 640, 1, 0, 0, kOutside},
        {640, 480, 1, 0, 0, 0, 480, 5, 0, kEmpty},           // empty window before origin
        {640, 480, 1, 0, 0, 640, -5, 0, 0, kEmpty},
        {640, 480, 1, 10, 0, 631, 480, 700, 0, kOutside},    // reach before origin
        {640, 480, 1, 0, 1, 640, 480, 0, 0, kOutside},
        {640, 480, 1, 10, 0, 630, 480, 630, 0, kOrigin},
        {640, 480, 1, 0, 0, 640, 480, 0, 480, kOrigin},
        {640, 480, 1, 0, 0, 640, 480, -1, 0, kOrigin},
        // int32 extremes: sums that would wrap must still be refused.
        {INT32_MAX, 1, 1, INT32_MAX - 1, 0, INT32_MAX, 1, 0, 0, kOutside},
        {INT32_MAX, INT32_MAX, 1, 1, 1, 1, INT32_MAX, 0, 0, kOutside},
        {INT32_MIN, 1, 1, 0, 0, 1, 1, 0, 0, nullptr},
        {1, 1, 1, INT32_MIN, 0, 1, 1, 0, 0, kOutside},
        {1, 1, 1, 0, 0, INT32_MIN, 1, 0, 0, kEmpty},
        {1, 1, 1, 0, 0, 1, 1, INT32_MIN, 0, kOrigin},
    };
    for (const Case& c : cases) {
        ReportWatch watch;
        EXPECT_EQ(TavCreateDataTypeImage(c.width, c.height, c.planes, ZT_DT_U8, c.left, c.top, c.ww, c.wh, c.ox, c.oy),
                  0u);
        EXPECT_TRUE(watch.one(TAV_E_INVALID_VALUE, "TavCreateDataTypeImage")) << c.left << "," << c.ww;
        EXPECT_EQ(last_report().message, c.message ? c.message : "") << c.left << "," << c.ww;
    }
}

TEST(CreateDataTypeImage, AcceptsWindowsReachingTheBorder) {
    struct Case {
        int32_t width, height, left, top, ww, wh, ox, oy;
        int32_t fringeRight, fringeBottom;
    } cases[] = {
        {640, 480, 0, 0, 640, 480, 0, 0, 0, 0},
        {640, 480, 10, 0, 630, 480, 629, 479, 0, 0},
        {640, 480, 0, 0, 1, 1, 0, 0, 639, 479},
        {INT32_MAX, INT32_MAX, INT32_MAX - 1, 0, 1, INT32_MAX, 0, INT32_MAX - 1, 0, 0},
        {INT32_MAX, 1, 0, 0, INT32_MAX, 1, INT32_MAX - 1, 0, 0, 0},
    };
    for (const Case& c : cases) {
        ReportWatch watch;
        const TAVDATATYPE t = TavCreateDataTypeImage(c.width, c.height, 1, ZT_DT_U8, c.left, c.top, c.ww, c.wh, c.ox, c.oy);
        ASSERT_NE(t, 0u);
        EXPECT_TRUE(watch.none());
        EXPECT_EQ(ZtRefCount(t), 1);
        EXPECT_EQ(window_of(t), (Window{c.left, c.top, c.ww, c.wh, c.ox, c.oy}));
        int32_t f[4] = {-7, -7, -7, -7};
        EXPECT_EQ(TavGetFringes(t, &f[0], &f[1], &f[2], &f[3]), 0);
        EXPECT_EQ(f[0], c.left);
        EXPECT_EQ(f[1], c.top);
        EXPECT_EQ(f[2], c.fringeRight);
        EXPECT_EQ(f[3], c.fringeBottom);
        ZtRelease(t);
    }
}

TEST(CreateDataTypeImage, KeepsTheLowTenBitsOfThePixelDataType) {
    const TAVDATATYPE t = TavCreateDataTypeImageEx(8, 6, 2, 0x1408, 0, 0);
    int32_t w = 0, h = 0, p = 0;
    uint32_t d = 0;
    EXPECT_EQ(TavGetImageDataGeometry(t, &w, &h, &p, &d), 0);
    EXPECT_EQ(w, 8);
    EXPECT_EQ(h, 6);
    EXPECT_EQ(p, 2);
    EXPECT_EQ(d, 0x008u);
    ZtRelease(t);
}

TEST(CreateDataTypeImageEx, IsTheFullWindowAndReportsUnderTheBaseName) {
    const TAVDATATYPE ex = TavCreateDataTypeImageEx(64, 32, 1, ZT_DT_F32, 63, 31);
    const TAVDATATYPE full = TavCreateDataTypeImage(64, 32, 1, ZT_DT_F32, 0, 0, 64, 32, 63, 31);
    EXPECT_EQ(TavCompareDataTypes(ex, full), 0);
    EXPECT_EQ(window_of(ex), window_of(full));
    ZtRelease(ex);
    ZtRelease(full);

    struct Case {
        int32_t width, height, ox, oy;
        const char* message;
    } cases[] = {{0, 32, 0, 0, ""}, {64, 32, 64, 0, kOrigin}, {64, 32, 0, -1, kOrigin}, {64, INT32_MIN, 0, 0, ""}};
    for (const Case& c : cases) {
        ReportWatch watch;
        EXPECT_EQ(TavCreateDataTypeImageEx(c.width, c.height, 1, ZT_DT_U8, c.ox, c.oy), 0u);
        EXPECT_TRUE(watch.one(TAV_E_INVALID_VALUE, "TavCreateDataTypeImage"));
        EXPECT_EQ(last_report().message, c.message);
    }
}

TEST(CreateDataTypeFloatVector, RefusesDimensionsBelowOne) {
    for (int32_t dim : {0, -1, INT32_MIN}) {
        ReportWatch watch;
        EXPECT_EQ(TavCreateDataTypeFloatVector(dim), 0u);
        EXPECT_TRUE(watch.one(TAV_E_INVALID_VALUE, "TavCreateDataTypeFloatVector"));
        EXPECT_EQ(last_report().message, "");
    }
    const TAVDATATYPE t = TavCreateDataTypeFloatVector(INT32_MAX);
    uint64_t dim = 0;
    EXPECT_EQ(TavGetFloatVectorDataDim(t, &dim), 0);
    EXPECT_EQ(dim, uint64_t{INT32_MAX});
    EXPECT_EQ(ZtRefCount(t), 1);
    ZtRelease(t);
}

TEST(CompareDataTypes, EqualityIgnoresOriginAndPixelTypeAndClassesCompareOne) {
    const TAVDATATYPE base = TavCreateDataTypeImage(64, 48, 1, ZT_DT_U8, 2, 3, 10, 12, 0, 0);
    struct Case {
        const char* what;
        TAVDATATYPE other;
        int32_t expected;
    } cases[] = {
        {"self", base, 0},
        {"other origin and pixel type", TavCreateDataTypeImage(64, 48, 1, ZT_DT_F64, 2, 3, 10, 12, 9, 11), 0},
        {"width", TavCreateDataTypeImage(65, 48, 1, ZT_DT_U8, 2, 3, 10, 12, 0, 0), -1},
        {"height", TavCreateDataTypeImage(64, 49, 1, ZT_DT_U8, 2, 3, 10, 12, 0, 0), -1},
        {"planes", TavCreateDataTypeImage(64, 48, 3, ZT_DT_U8, 2, 3, 10, 12, 0, 0), -1},
        {"left", TavCreateDataTypeImage(64, 48, 1, ZT_DT_U8, 1, 3, 11, 12, 0, 0), -1},
        {"top", TavCreateDataTypeImage(64, 48, 1, ZT_DT_U8, 2, 4, 10, 11, 0, 0), -1},
        {"right", TavCreateDataTypeImage(64, 48, 1, ZT_DT_U8, 2, 3, 11, 12, 0, 0), -1},
        {"bottom", TavCreateDataTypeImage(64, 48, 1, ZT_DT_U8, 2, 3, 10, 13, 0, 0), -1},
        {"vector", TavCreateDataTypeFloatVector(1), 1},
    };
    for (const Case& c : cases) {
        ReportWatch watch;
        ASSERT_NE(c.other, 0u) << c.what;
        EXPECT_EQ(TavCompareDataTypes(base, c.other), c.expected) << c.what;
        EXPECT_EQ(TavCompareDataTypes(c.other, base), c.expected) << c.what;
        EXPECT_TRUE(watch.none()) << c.what;
        EXPECT_EQ(ZtRefCount(c.other), 1) << c.what;
        if (c.other != base)
            ZtRelease(c.other);
    }
    const TAVDATATYPE v2 = TavCreateDataTypeFloatVector(2), v3 = TavCreateDataTypeFloatVector(3),
                      v3b = TavCreateDataTypeFloatVector(3);
    EXPECT_EQ(static_cast<uint32_t>(TavCompareDataTypes(v2, v3)), 0xFFFFFFFFu);
    EXPECT_EQ(TavCompareDataTypes(v3, v3b), 0);
    EXPECT_EQ(TavCompareDataTypes(v3, base), 1);
    for (TAVDATATYPE t : {base, v2, v3, v3b})
        ZtRelease(t);
}

TEST_F(BadDataTypeHandles, EveryHandleArgumentIsRefusedWithInvalidArgument) {
    const TAVDATATYPE good = TavCreateDataTypeImageEx(8, 8, 1, ZT_DT_U8, 0, 0);
    for (const Bad& b : bad_) {
        int32_t o[6] = {-7, -7, -7, -7, -7, -7};
        uint32_t d = 77;
        uint64_t dim = 77;
        const struct {
            const char* function;
            std::function<int32_t()> call;
        } calls[] = {
            {"TavCompareDataTypes", [&] { return TavCompareDataTypes(b.h, good); }},
            {"TavCompareDataTypes", [&] { return TavCompareDataTypes(good, b.h); }},
            {"TavGetFeatureWindow", [&] { return TavGetFeatureWindow(b.h, &o[0], &o[1], &o[2], &o[3], &o[4], &o[5]); }},
            {"TavSetFeatureWindow", [&] { return TavSetFeatureWindow(b.h, 0, 0, 2, 2, 0, 0); }},
            {"TavGetImageDataGeometry", [&] { return TavGetImageDataGeometry(b.h, &o[0], &o[1], &o[2], &d); }},
            {"TavGetFringes", [&] { return TavGetFringes(b.h, &o[0], &o[1], &o[2], &o[3]); }},
            {"TavGetFloatVectorDataDim", [&] { return TavGetFloatVectorDataDim(b.h, &dim); }},
        };
        for (const auto& c : calls) {
            ReportWatch watch;
            EXPECT_EQ(c.call(), TAV_E_INVALID_ARGUMENT) << c.function << " " << b.what;
            EXPECT_TRUE(watch.one(TAV_E_INVALID_ARGUMENT, c.function)) << c.function << " " << b.what;
        }
        for (int32_t v : o)
            EXPECT_EQ(v, -7);
        EXPECT_EQ(d, 77u);
        EXPECT_EQ(dim, 77u);
    }
    EXPECT_EQ(ZtRefCount(good), 1);
    EXPECT_EQ(ZtRefCount(labelType_), 1);
    EXPECT_EQ(ZtRefCount(image_), 1);
    ZtRelease(good);
}

TEST(DataTypeQueries, AskingTheOtherClassFailsAndLeavesOutputsAlone) {
    const TAVDATATYPE image = TavCreateDataTypeImageEx(8, 8, 1, ZT_DT_U8, 0, 0);
    const TAVDATATYPE vector = TavCreateDataTypeFloatVector(4);
    int32_t o[6] = {-7, -7, -7, -7, -7, -7};
    uint32_t d = 77;
    uint64_t dim = 77;
    const struct {
        const char* function;
        int32_t code;
        std::function<int32_t()> call;
    } calls[] = {
        {"TavGetFeatureWindow", TAV_E_INVALID_ARGUMENT,
         [&] { return TavGetFeatureWindow(vector, &o[0], &o[1], &o[2], &o[3], &o[4], &o[5]); }},
        {"TavSetFeatureWindow", TAV_E_INVALID_ARGUMENT, [&] { return TavSetFeatureWindow(vector, 0, 0, 2, 2, 0, 0); }},
        {"TavGetImageDataGeometry", TAV_E_INCOMPATIBLE,
         [&] { return TavGetImageDataGeometry(vector, &o[0], &o[1], &o[2], &d); }},
        {"TavGetFringes", TAV_E_INCOMPATIBLE, [&] { return TavGetFringes(vector, &o[0], &o[1], &o[2], &o[3]); }},
        {"TavGetFloatVectorDataDim", TAV_E_INCOMPATIBLE, [&] { return TavGetFloatVectorDataDim(image, &dim); }},
        // Null out pointers, each with the others valid: nothing is written.
        {"TavGetFeatureWindow", TAV_E_INVALID_ARGUMENT,
         [&] { return TavGetFeatureWindow(image, &o[0], &o[1], &o[2], &o[3], &o[4], nullptr); }},
        {"TavGetFeatureWindow", TAV_E_INVALID_ARGUMENT,
         [&] { return TavGetFeatureWindow(image, nullptr, &o[1], &o[2], &o[3], &o[4], &o[5]); }},
        {"TavGetImageDataGeometry", TAV_E_INVALID_ARGUMENT,
         [&] { return TavGetImageDataGeometry(image, &o[0], &o[1], &o[2], nullptr); }},
        {"TavGetFringes", TAV_E_INVALID_ARGUMENT, [&] { return TavGetFringes(image, &o[0], &o[1], &o[2], nullptr); }},
        {"TavGetFloatVectorDataDim", TAV_E_INVALID_ARGUMENT, [&] { return TavGetFloatVectorDataDim(vector, nullptr); }},
    };
    for (const auto& c : calls) {
        ReportWatch watch;
        EXPECT_EQ(c.call(), c.code) << c.function;
        EXPECT_TRUE(watch.one(c.code, c.function)) << c.function;
        EXPECT_EQ(last_report().message, "") << c.function;
    }
    for (int32_t v : o)
        EXPECT_EQ(v, -7);
    EXPECT_EQ(d, 77u);
    EXPECT_EQ(dim, 77u);
    EXPECT_EQ(ZtRefCount(image), 1);
    EXPECT_EQ(ZtRefCount(vector), 1);
    ZtRelease(image);
    ZtRelease(vector);
}

TEST(SetFeatureWindow, RefusesInvalidWindowsAndKeepsTheOldOne) {
    const TAVDATATYPE t = TavCreateDataTypeImage(640, 480, 1, ZT_DT_U8, 10, 20, 100, 50, 3, 4);
    const Window before = window_of(t);
    const Window refused[] = {
        {0, 0, 1, 10, 0, 0},          // one pixel wide: creation accepts it, this does not
        {0, 0, 10, 1, 0, 0},
        {0, 0, 0, 10, 0, 0},
        {-1, 0, 10, 10, 0, 0},
        {0, -1, 10, 10, 0, 0},
        {631, 0, 10, 10, 0, 0},
        {0, 0, 641, 10, 0, 0},
        {0, 471, 10, 10, 0, 0},
        {0, 0, 10, 10, 10, 0},
        {0, 0, 10, 10, 0, 10},
        {0, 0, 10, 10, -1, 0},
        {0, 0, 10, 10, 0, -1},
        {INT32_MAX, 0, INT32_MAX, 10, 0, 0},
        {1, 0, INT32_MAX, 10, 0, 0},
        {INT32_MIN, 0, INT32_MAX, 10, 0, 0},
        {0, 0, INT32_MIN, 10, 0, 0},
        {0, INT32_MIN, 10, INT32_MIN, 0, 0},
        {0, 0, 10, 10, INT32_MAX, INT32_MAX},
    };
    for (const Window& w : refused) {
        ReportWatch watch;
        EXPECT_EQ(TavSetFeatureWindow(t, w.left, w.top, w.width, w.height, w.originX, w.originY), TAV_E_INVALID_ARGUMENT)
            << w.left << "," << w.top << "," << w.width << "," << w.height;
        EXPECT_TRUE(watch.one(TAV_E_INVALID_ARGUMENT, "TavSetFeatureWindow"));
        EXPECT_EQ(last_report().message, "");
        EXPECT_EQ(window_of(t), before);
    }
    const Window accepted[] = {{0, 0, 640, 480, 639, 479}, {638, 478, 2, 2, 1, 1}, {5, 6, 7, 8, 0, 0}};
    for (const Window& w : accepted) {
        ReportWatch watch;
        EXPECT_EQ(TavSetFeatureWindow(t, w.left, w.top, w.width, w.height, w.originX, w.originY), 0);
        EXPECT_TRUE(watch.none());
        EXPECT_EQ(window_of(t), w);
    }
    int32_t f[4];
    EXPECT_EQ(TavGetFringes(t, &f[0], &f[1], &f[2], &f[3]), 0);
    EXPECT_EQ(f[2], 640 - (5 + 7 - 1) - 1);
    EXPECT_EQ(f[3], 480 - (6 + 8 - 1) - 1);
    // The geometry never moves with the window.
    int32_t w = 0, h = 0, p = 0;
    uint32_t d = 0;
    EXPECT_EQ(TavGetImageDataGeometry(t, &w, &h, &p, &d), 0);
    EXPECT_EQ(w, 640);
    EXPECT_EQ(h, 480);
    EXPECT_EQ(ZtRefCount(t), 1);
    ZtRelease(t);
}

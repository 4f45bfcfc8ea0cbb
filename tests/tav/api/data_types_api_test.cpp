#include <climits>

#include "list_fixture.hpp"

using namespace list_test;

namespace {

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
        ReportLog log;
        EXPECT_EQ(TavCreateDataTypeImage(c.width, c.height, c.planes, ZT_DT_U8, c.left, c.top, c.ww, c.wh, c.ox, c.oy), 0u)
            << c.left << "," << c.ww;
        EXPECT_EQ(log.take(), refusal(TAV_E_INVALID_VALUE, "TavCreateDataTypeImage", c.message)) << c.left << "," << c.ww;
    }
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
    auto set = [t](const Window& w) {
        return [=] { return TavSetFeatureWindow(t, w.left, w.top, w.width, w.height, w.originX, w.originY); };
    };
    for (const Window& w : refused) {
        expect_calls({fails(std::to_string(w.left) + "," + std::to_string(w.width), set(w), TAV_E_INVALID_ARGUMENT,
                            "TavSetFeatureWindow")});
        EXPECT_EQ(window_of(t), before);
    }
    for (const Window& w : {Window{0, 0, 640, 480, 639, 479}, Window{638, 478, 2, 2, 1, 1}, Window{5, 6, 7, 8, 0, 0}}) {
        expect_calls({{"valid", set(w), 0, {}}});
        EXPECT_EQ(window_of(t), w);
    }
    int32_t f[4];
    EXPECT_EQ(TavGetFringes(t, &f[0], &f[1], &f[2], &f[3]), 0);
    EXPECT_EQ((std::vector<int32_t>(f, f + 4)), (std::vector<int32_t>{5, 6, 640 - 11 - 1, 480 - 13 - 1}));
    EXPECT_EQ(ZtRefCount(t), 1);
    ZtRelease(t);
}

TEST(CreateFloatVectorTypes, RefuseDimensionsBelowOne) {
    using Create = ZTHANDLE (*)(int32_t);
    for (auto [function, create] : {std::pair<const char*, Create>{"TavCreateLabelTypeFloatVector", TavCreateLabelTypeFloatVector},
                                    std::pair<const char*, Create>{"TavCreateDataTypeFloatVector", TavCreateDataTypeFloatVector}})
        for (int32_t bad : {0, -1, INT32_MIN})
            expect_calls({{function + std::to_string(bad), [&] { return static_cast<int64_t>(create(bad)); }, 0,
                           refusal(TAV_E_INVALID_VALUE, function)}});
}

// Only 0 means the same type; a handle of the other family is refused.
TEST(CompareTypes, TheFieldsThatMakeATypeDecide) {
    Owned own;
    const ZTHANDLE text = own.hold(TavCreateLabelTypeString()), text2 = own.hold(TavCreateLabelTypeString());
    const ZTHANDLE two = own.hold(TavCreateLabelTypeFloatVector(2)), two2 = own.hold(TavCreateLabelTypeFloatVector(2));
    const ZTHANDLE three = own.hold(TavCreateLabelTypeFloatVector(3));
    const ZTHANDLE image = own.hold(TavCreateDataTypeImage(8, 8, 1, ZT_DT_U8, 1, 1, 4, 4, 0, 0));
    const ZTHANDLE vector = own.hold(TavCreateDataTypeFloatVector(2)), vector3 = own.hold(TavCreateDataTypeFloatVector(3));
    auto labels = [](ZTHANDLE a, ZTHANDLE b) { return [=] { return int64_t{TavCompareLabelTypes(a, b)}; }; };
    auto data = [](ZTHANDLE a, ZTHANDLE b) { return [=] { return int64_t{TavCompareDataTypes(a, b)}; }; };
    expect_calls({
        {"two string types", labels(text, text2), 0, {}},
        {"string and vector", labels(text, two), 1, {}},
        {"vector and string", labels(two, text), 1, {}},
        {"equal dimensions", labels(two, two2), 0, {}},
        {"other dimension", labels(two, three), -1, {}},
        fails("a data type", labels(text, image), TAV_E_INVALID_ARGUMENT, "TavCompareLabelTypes"),
        {"image and vector", data(image, vector), 1, {}},
        {"other dimension", data(vector, vector3), -1, {}},
        fails("a label type", data(vector, two), TAV_E_INVALID_ARGUMENT, "TavCompareDataTypes"),
    });
}

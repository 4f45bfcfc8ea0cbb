#include <climits>
#include <functional>
#include <vector>

#include <gtest/gtest.h>
#include <tav/tav.h>

#include "support/reports.hpp"

using tav_test::last_report;
using tav_test::ReportWatch;

TEST(CreateLabelType, ReturnsOneReferenceAndRefusesDimensionsBelowOne) {
    const TAVLABELTYPE s = TavCreateLabelTypeString();
    const TAVLABELTYPE v = TavCreateLabelTypeFloatVector(INT32_MAX);
    for (TAVLABELTYPE t : {s, v}) {
        ASSERT_NE(t, 0u);
        EXPECT_EQ(ZtRefCount(t), 1);
        EXPECT_EQ(IsTavLabelType(t), 1);
        EXPECT_EQ(IsTavDataType(t), 0);
    }
    uint64_t dim = 0;
    EXPECT_EQ(TavGetFloatVectorLabelDim(v, &dim), 0);
    EXPECT_EQ(dim, uint64_t{INT32_MAX});
    ZtRelease(s);
    ZtRelease(v);

    for (int32_t bad : {0, -1, INT32_MIN}) {
        ReportWatch watch;
        EXPECT_EQ(TavCreateLabelTypeFloatVector(bad), 0u);
        EXPECT_TRUE(watch.one(TAV_E_INVALID_VALUE, "TavCreateLabelTypeFloatVector")) << bad;
        EXPECT_EQ(last_report().message, "");
    }
}

TEST(CompareLabelTypes, StringsAreAllEqualVectorsByDimensionClassesCompareOne) {
    const TAVLABELTYPE s1 = TavCreateLabelTypeString(), s2 = TavCreateLabelTypeString();
    const TAVLABELTYPE v3 = TavCreateLabelTypeFloatVector(3), v3b = TavCreateLabelTypeFloatVector(3),
                       v4 = TavCreateLabelTypeFloatVector(4);
    const struct {
        TAVLABELTYPE a, b;
        int32_t expected;
    } cases[] = {
        {s1, s1, 0}, {s1, s2, 0}, {v3, v3, 0}, {v3, v3b, 0}, {v3, v4, -1}, {v4, v3, -1}, {s1, v3, 1}, {v3, s1, 1},
    };
    for (const auto& c : cases) {
        ReportWatch watch;
        EXPECT_EQ(TavCompareLabelTypes(c.a, c.b), c.expected);
        EXPECT_TRUE(watch.none());
    }
    for (TAVLABELTYPE t : {s1, s2, v3, v3b, v4}) {
        EXPECT_EQ(ZtRefCount(t), 1);
        ZtRelease(t);
    }
}

TEST(LabelTypeHandles, EveryHandleArgumentIsRefusedWithInvalidArgument) {
    const TAVLABELTYPE good = TavCreateLabelTypeFloatVector(2);
    const TAVLABELTYPE released = TavCreateLabelTypeString();
    ZtRelease(released);
    const TAVDATATYPE dataType = TavCreateDataTypeFloatVector(2);
    const ZTIMAGE image = ZtImageCreate(2, 2, 1, ZT_DT_U8);
    const struct {
        const char* what;
        ZTHANDLE h;
    } bad[] = {{"null", 0}, {"released", released}, {"made up", 0xDEADBEEF12345678ull},
               {"data type", dataType}, {"image", image}};
    for (const auto& b : bad) {
        uint64_t dim = 77;
        const struct {
            const char* function;
            std::function<int32_t()> call;
        } calls[] = {
            {"TavCompareLabelTypes", [&] { return TavCompareLabelTypes(b.h, good); }},
            {"TavCompareLabelTypes", [&] { return TavCompareLabelTypes(good, b.h); }},
            {"TavGetFloatVectorLabelDim", [&] { return TavGetFloatVectorLabelDim(b.h, &dim); }},
        };
        for (const auto& c : calls) {
            ReportWatch watch;
            EXPECT_EQ(c.call(), TAV_E_INVALID_ARGUMENT) << c.function << " " << b.what;
            EXPECT_TRUE(watch.one(TAV_E_INVALID_ARGUMENT, c.function)) << c.function << " " << b.what;
        }
        EXPECT_EQ(dim, 77u);
    }
    for (ZTHANDLE h : {good, dataType, image}) {
        EXPECT_EQ(ZtRefCount(h), 1);
        ZtRelease(h);
    }
}

TEST(GetFloatVectorLabelDim, StringTypeIsIncompatibleAndNullOutIsRefused) {
    const TAVLABELTYPE s = TavCreateLabelTypeString();
    const TAVLABELTYPE v = TavCreateLabelTypeFloatVector(5);
    uint64_t dim = 77;
    {
        ReportWatch watch;
        EXPECT_EQ(TavGetFloatVectorLabelDim(s, &dim), TAV_E_INCOMPATIBLE);
        EXPECT_TRUE(watch.one(TAV_E_INCOMPATIBLE, "TavGetFloatVectorLabelDim"));
        EXPECT_EQ(dim, 77u);
    }
    {
        ReportWatch watch;
        EXPECT_EQ(TavGetFloatVectorLabelDim(v, nullptr), TAV_E_INVALID_ARGUMENT);
        EXPECT_TRUE(watch.one(TAV_E_INVALID_ARGUMENT, "TavGetFloatVectorLabelDim"));
    }
    EXPECT_EQ(ZtRefCount(s), 1);
    EXPECT_EQ(ZtRefCount(v), 1);
    ZtRelease(s);
    ZtRelease(v);
}

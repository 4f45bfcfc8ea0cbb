#include <climits>
#include <functional>
#include <utility>
#include <vector>

#include <gtest/gtest.h>
#include <tav/tav.h>

#include "support/bad_handles.hpp"
#include "support/reports.hpp"

using tav_test::last_report;
using tav_test::ReportWatch;

TEST(CreateFloatVectorTypes, RefuseDimensionsBelowOne) {
    const std::pair<const char*, ZTHANDLE (*)(int32_t)> creators[] = {
        {"TavCreateLabelTypeFloatVector", TavCreateLabelTypeFloatVector},
        {"TavCreateDataTypeFloatVector", TavCreateDataTypeFloatVector}};
    for (const auto& [function, create] : creators)
        for (int32_t bad : {0, -1, INT32_MIN}) {
            ReportWatch watch;
            EXPECT_EQ(create(bad), 0u);
            EXPECT_TRUE(watch.one(TAV_E_INVALID_VALUE, function)) << function << " " << bad;
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
    } cases[] = {{s1, s1, 0}, {s1, s2, 0}, {v3, v3, 0}, {v3, v3b, 0}, {v3, v4, -1}, {v4, v3, -1}, {s1, v3, 1}, {v3, s1, 1}};
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

TEST(LabelTypeFunctions, RefuseBadHandlesStringDimensionAndNullOutputWithoutWriting) {
    const TAVLABELTYPE vector = TavCreateLabelTypeFloatVector(INT32_MAX);
    const TAVLABELTYPE string = TavCreateLabelTypeString();
    const tav_test::BadHandles bad(TavCreateLabelTypeString(), {{"data type", TavCreateDataTypeFloatVector(2)},
                                                                {"image", ZtImageCreate(2, 2, 1, ZT_DT_U8)}});
    uint64_t dim = 77;
    const struct {
        const char* function;
        int32_t code;
        std::function<int32_t(ZTHANDLE)> run;
    } calls[] = {
        {"TavCompareLabelTypes", TAV_E_INVALID_ARGUMENT, [&](ZTHANDLE h) { return TavCompareLabelTypes(h, vector); }},
        {"TavCompareLabelTypes", TAV_E_INVALID_ARGUMENT, [&](ZTHANDLE h) { return TavCompareLabelTypes(vector, h); }},
        {"TavGetFloatVectorLabelDim", TAV_E_INVALID_ARGUMENT, [&](ZTHANDLE h) { return TavGetFloatVectorLabelDim(h, &dim); }},
    };
    std::vector<tav_test::BadHandle> handles = bad.all();
    for (const auto& b : handles)
        for (const auto& c : calls) {
            ReportWatch watch;
            EXPECT_EQ(c.run(b.handle), c.code) << c.function << " " << b.what;
            EXPECT_TRUE(watch.one(c.code, c.function)) << c.function << " " << b.what;
        }
    ReportWatch watch;
    EXPECT_EQ(TavGetFloatVectorLabelDim(string, &dim), TAV_E_INCOMPATIBLE);
    EXPECT_TRUE(watch.one(TAV_E_INCOMPATIBLE, "TavGetFloatVectorLabelDim"));
    EXPECT_EQ(dim, 77u);
    ReportWatch watchNull;
    EXPECT_EQ(TavGetFloatVectorLabelDim(vector, nullptr), TAV_E_INVALID_ARGUMENT);
    EXPECT_TRUE(watchNull.one(TAV_E_INVALID_ARGUMENT, "TavGetFloatVectorLabelDim"));
    EXPECT_EQ(TavGetFloatVectorLabelDim(vector, &dim), 0);
    EXPECT_EQ(dim, uint64_t{INT32_MAX});
    EXPECT_TRUE(bad.others_untouched());
    for (TAVLABELTYPE t : {vector, string}) {
        EXPECT_EQ(ZtRefCount(t), 1);
        ZtRelease(t);
    }
}

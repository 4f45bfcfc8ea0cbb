#include <climits>
#include <functional>
#include <utility>
#include <vector>

#include <gtest/gtest.h>
#include <tav/tav.h>

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

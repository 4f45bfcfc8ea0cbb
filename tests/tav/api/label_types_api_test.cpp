#include <climits>
#include <string>
#include <utility>

#include <gtest/gtest.h>
#include <tav/tav.h>

#include "list_fixture.hpp"

using namespace list_test;

TEST(CreateFloatVectorTypes, RefuseDimensionsBelowOne) {
    using Create = ZTHANDLE (*)(int32_t);
    for (auto [function, create] : {std::pair<const char*, Create>{"TavCreateLabelTypeFloatVector", TavCreateLabelTypeFloatVector},
                                    std::pair<const char*, Create>{"TavCreateDataTypeFloatVector", TavCreateDataTypeFloatVector}})
        for (int32_t bad : {0, -1, INT32_MIN})
            expect_calls({{function + std::to_string(bad), [&] { return static_cast<int64_t>(create(bad)); }, 0,
                           {{TAV_E_INVALID_VALUE, "", function}}}});
}

#include <cstdint>
#include <functional>
#include <vector>

#include <gtest/gtest.h>
#include <tav/tav.h>

#include "list_fixture.hpp"

using namespace list_test;

namespace {

TAVLABEL vector_label(std::vector<float> v) { return TavCreateVectorLabel(v.data(), v.size()); }

TEST(CreateLabelOrVectorData, RefusesNullAndEmptyValues) {
    const float v[] = {1};
    auto refused = [](const char* function, int32_t code = TAV_E_INVALID_ARGUMENT) {
        const char* noMemory = "Object creation failed unexpectedly; potentially the system is running out of the "
                               "necessary resources";
        return Reports{{code, code == TAV_E_OUT_OF_MEMORY ? noMemory : "", function}};
    };
    auto made = [](auto create) { return [=] { return static_cast<int64_t>(create()); }; };
    expect_calls({
        {"null", made([] { return TavCreateStringLabel(nullptr); }), 0, refused("TavCreateStringLabel")},
        {"empty", made([] { return TavCreateStringLabel(""); }), 0, refused("TavCreateStringLabel")},
        {"null wide", made([] { return TavCreateStringLabelW(nullptr); }), 0, refused("TavCreateStringLabelW")},
        {"empty wide", made([] { return TavCreateStringLabelW(u""); }), 0, refused("TavCreateStringLabelW")},
        {"null values", made([] { return TavCreateVectorLabel(nullptr, 3); }), 0, refused("TavCreateVectorLabel")},
        {"no values", made([&] { return TavCreateVectorLabel(v, 0); }), 0, refused("TavCreateVectorLabel")},
        {"too many values", made([&] { return TavCreateVectorLabel(v, UINT64_MAX); }), 0,
         refused("TavCreateVectorLabel", TAV_E_OUT_OF_MEMORY)},
        {"null data", made([] { return TavCreateVectorData(nullptr, 3); }), 0, refused("TavCreateVectorData")},
        {"no data", made([&] { return TavCreateVectorData(v, 0); }), 0, refused("TavCreateVectorData")},
        {"too much data", made([&] { return TavCreateVectorData(v, UINT64_MAX); }), 0,
         refused("TavCreateVectorData", TAV_E_OUT_OF_MEMORY)},
    });
}

// The value getters of labels and data share one protocol; only the vector
// getters report a too small buffer, and they need no room for a terminator.
TEST(ValueGetters, BufferProtocol) {
    const TAVLABEL text = TavCreateStringLabel("abc"), values = vector_label({1, 2, 3});
    const float five[] = {1, 2, 3, 4, 5};
    const TAVDATA data = TavCreateVectorData(five, 5);
    struct Getter {
        const char* function;
        uint64_t needed, unit;
        bool reports;
        std::function<int32_t(void*, uint64_t*)> call;
    } getters[] = {
        {"TavGetStringLabel", 4, 1, false, [&](void* b, uint64_t* s) { return TavGetStringLabel(text, (char*)b, s); }},
        {"TavGetStringLabelW", 4, 2, false,
         [&](void* b, uint64_t* s) { return TavGetStringLabelW(text, (char16_t*)b, s); }},
        {"TavGetFloatVectorLabel", 3, 4, true,
         [&](void* b, uint64_t* s) { return TavGetFloatVectorLabel(values, (float*)b, s); }},
        {"TavGetFloatVectorData", 5, 4, true,
         [&](void* b, uint64_t* s) { return TavGetFloatVectorData(data, (float*)b, s); }},
    };
    for (const Getter& g : getters) {
        SCOPED_TRACE(g.function);
        std::vector<uint8_t> buffer(64, 0x55);
        uint64_t size = 7;
        EXPECT_EQ(g.call(nullptr, &size), 0);
        EXPECT_EQ(size, g.needed);
        size = g.needed - 1;
        const int32_t small = TAV_E_BUFFER_TOO_SMALL, invalid = TAV_E_INVALID_ARGUMENT;
        expect_calls({{"too small", [&] { return g.call(buffer.data(), &size); }, small,
                       g.reports ? Reports{{small, "", g.function}} : Reports{}},
                      {"no size", [&] { return g.call(nullptr, nullptr); }, invalid, {{invalid, "", g.function}}}});
        EXPECT_EQ(size, g.needed - 1);
        EXPECT_EQ(buffer, std::vector<uint8_t>(64, 0x55));
        for (uint64_t given : {g.needed, g.needed + 5}) {
            size = given;
            EXPECT_EQ(g.call(buffer.data(), &size), 0);
            EXPECT_EQ(size, g.needed);
            EXPECT_EQ(buffer[g.needed * g.unit], 0x55); // nothing written past the value
        }
    }
    float got[5] = {};
    uint64_t count = 5;
    EXPECT_EQ(TavGetFloatVectorLabel(values, got, &count), 0);
    EXPECT_EQ(got[2], 3.0f);
    count = 5;
    EXPECT_EQ(TavGetFloatVectorData(data, got, &count), 0);
    EXPECT_EQ(got[4], 5.0f);
    // A getter of the other class.
    expect_calls({
        {"string of vector", [&] { return TavGetStringLabel(values, nullptr, &count); }, TAV_E_INCOMPATIBLE,
         refusal(TAV_E_INCOMPATIBLE, "TavGetStringLabel")},
        {"wide string of vector", [&] { return TavGetStringLabelW(values, nullptr, &count); }, TAV_E_INCOMPATIBLE,
         refusal(TAV_E_INCOMPATIBLE, "TavGetStringLabelW")},
        {"vector of string", [&] { return TavGetFloatVectorLabel(text, nullptr, &count); }, TAV_E_INCOMPATIBLE,
         refusal(TAV_E_INCOMPATIBLE, "TavGetFloatVectorLabel")},
    });
    for (ZTHANDLE h : {text, values, data})
        ZtRelease(h);
}

} // namespace

#include <functional>
#include <limits>
#include <string>
#include <vector>

#include <gtest/gtest.h>
#include <tav/tav.h>

#include "support/reports.hpp"
#include "tav/port/test_locales.hpp"

using tav_test::last_report;
using tav_test::ReportWatch;

namespace {

TAVLABEL vector_label(std::vector<float> v) { return TavCreateVectorLabel(v.data(), v.size()); }

template <class Unit>
std::basic_string<Unit> text_of(TAVLABEL label, int32_t (*get)(TAVLABEL, Unit*, uint64_t*)) {
    uint64_t size = 0;
    EXPECT_EQ(get(label, nullptr, &size), 0);
    std::basic_string<Unit> text(size, Unit('x'));
    EXPECT_EQ(get(label, text.data(), &size), 0);
    EXPECT_EQ(text.back(), Unit(0));
    text.pop_back();
    return text;
}

TEST(CreateLabelOrVectorData, RefusesNullAndEmptyValues) {
    const float v[] = {1};
    struct Case {
        const char* function;
        std::function<TAVLABEL()> create;
        int32_t code;
    } cases[] = {
        {"TavCreateStringLabel", [] { return TavCreateStringLabel(nullptr); }, TAV_E_INVALID_ARGUMENT},
        {"TavCreateStringLabel", [] { return TavCreateStringLabel(""); }, TAV_E_INVALID_ARGUMENT},
        {"TavCreateStringLabelW", [] { return TavCreateStringLabelW(nullptr); }, TAV_E_INVALID_ARGUMENT},
        {"TavCreateStringLabelW", [] { return TavCreateStringLabelW(u""); }, TAV_E_INVALID_ARGUMENT},
        {"TavCreateVectorLabel", [] { return TavCreateVectorLabel(nullptr, 3); }, TAV_E_INVALID_ARGUMENT},
        {"TavCreateVectorLabel", [&] { return TavCreateVectorLabel(v, 0); }, TAV_E_INVALID_ARGUMENT},
        {"TavCreateVectorLabel", [&] { return TavCreateVectorLabel(v, UINT64_MAX); }, TAV_E_OUT_OF_MEMORY},
        {"TavCreateVectorData", [] { return TavCreateVectorData(nullptr, 3); }, TAV_E_INVALID_ARGUMENT},
        {"TavCreateVectorData", [&] { return TavCreateVectorData(v, 0); }, TAV_E_INVALID_ARGUMENT},
        {"TavCreateVectorData", [&] { return TavCreateVectorData(v, UINT64_MAX); }, TAV_E_OUT_OF_MEMORY},
    };
    for (const Case& c : cases) {
        ReportWatch watch;
        EXPECT_EQ(c.create(), 0u);
        EXPECT_TRUE(watch.one(c.code, c.function)) << c.function;
    }
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
        ReportWatch watch;
        EXPECT_EQ(g.call(buffer.data(), &size), TAV_E_BUFFER_TOO_SMALL);
        EXPECT_TRUE(g.reports ? watch.one(TAV_E_BUFFER_TOO_SMALL, g.function) : watch.none());
        EXPECT_EQ(size, g.needed - 1);
        EXPECT_EQ(buffer, std::vector<uint8_t>(64, 0x55));
        for (uint64_t given : {g.needed, g.needed + 5}) {
            size = given;
            EXPECT_EQ(g.call(buffer.data(), &size), 0);
            EXPECT_EQ(size, g.needed);
            EXPECT_EQ(buffer[g.needed * g.unit], 0x55); // nothing written past the value
        }
        EXPECT_EQ(g.call(nullptr, nullptr), TAV_E_INVALID_ARGUMENT);
        EXPECT_EQ(last_report().function, g.function);
    }
    float got[5] = {};
    uint64_t count = 5;
    EXPECT_EQ(TavGetFloatVectorLabel(values, got, &count), 0);
    EXPECT_EQ(got[2], 3.0f);
    count = 5;
    EXPECT_EQ(TavGetFloatVectorData(data, got, &count), 0);
    EXPECT_EQ(got[4], 5.0f);
    // A getter of the other class.
    ReportWatch watch;
    EXPECT_EQ(TavGetStringLabel(values, nullptr, &count), TAV_E_INCOMPATIBLE);
    EXPECT_TRUE(watch.one(TAV_E_INCOMPATIBLE, "TavGetStringLabel"));
    EXPECT_EQ(TavGetStringLabelW(values, nullptr, &count), TAV_E_INCOMPATIBLE);
    EXPECT_EQ(TavGetFloatVectorLabel(text, nullptr, &count), TAV_E_INCOMPATIBLE);
    EXPECT_EQ(last_report().function, "TavGetFloatVectorLabel");
    for (ZTHANDLE h : {text, values, data})
        ZtRelease(h);
}

} // namespace

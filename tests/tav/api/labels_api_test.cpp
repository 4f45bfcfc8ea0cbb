#include <functional>
#include <limits>
#include <string>
#include <vector>

#include <gtest/gtest.h>
#include <tav/tav.h>

#include "support/bad_handles.hpp"
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

TEST(CompareLabels, PassesTheComparisonThrough) {
    const TAVLABEL three = vector_label({1, 2, 3}), nan = vector_label({std::numeric_limits<float>::quiet_NaN()});
    const TAVLABEL text = TavCreateStringLabel("a");
    const TAVLABELTYPE dim3 = TavCreateLabelTypeFloatVector(3), dim4 = TavCreateLabelTypeFloatVector(4);
    const TAVLABELTYPE strings = TavCreateLabelTypeString();
    ReportWatch watch;
    EXPECT_EQ(TavCompareLabels(text, three), 1);
    EXPECT_EQ(TavCompareLabels(nan, nan), -1);
    EXPECT_EQ(TavCompareLabels(three, three), 0);
    EXPECT_EQ(TavVerifyLabelCompatibility(three, dim3), 1);
    EXPECT_EQ(TavVerifyLabelCompatibility(three, dim4), 0);
    EXPECT_EQ(TavVerifyLabelCompatibility(text, strings), 1);
    EXPECT_EQ(TavVerifyLabelCompatibility(text, dim3), 0);
    EXPECT_TRUE(watch.none());
    for (ZTHANDLE h : {three, nan, text, dim3, dim4, strings})
        ZtRelease(h);
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

TEST(LabelText, RoundTripsInUtf8AndUtf16) {
    tav_port_test::ThreadLocale utf8(tav_port_test::utf8_locale());
    const TAVLABEL wide = TavCreateStringLabelW(u"\u00e9"), narrow = TavCreateStringLabel("\xC3\xA9");
    const TAVLABEL astral = TavCreateStringLabelW(u"a\U0001F600"), lone = TavCreateStringLabelW(u"\xD800x");
    EXPECT_EQ(TavCompareLabels(wide, narrow), 0);
    EXPECT_EQ(text_of(wide, TavGetStringLabelW), u"\u00e9");
    EXPECT_EQ(text_of(wide, TavGetStringLabel), "\xC3\xA9");
    EXPECT_EQ(text_of(astral, TavGetStringLabelW), u"a\U0001F600");
    EXPECT_EQ(text_of(astral, TavGetStringLabel), "a\xF0\x9F\x98\x80");
    EXPECT_EQ(text_of(lone, TavGetStringLabelW), u"\uFFFDx"); // replaced, not refused
    for (ZTHANDLE h : {wide, narrow, astral, lone})
        ZtRelease(h);
}

TEST(LabelText, NarrowGetterSpeaksTheThreadsCodeset) {
    locale_t latin1 = tav_port_test::latin1_locale();
    if (latin1 == nullptr)
        GTEST_SKIP() << "no ISO-8859-1 locale can be had on this machine";
    tav_port_test::ThreadLocale scope(latin1);
    const TAVLABEL label = TavCreateStringLabelW(u"caf\u00e9 \u20ac");
    EXPECT_EQ(text_of(label, TavGetStringLabel), "caf\xE9 ?"); // no euro sign in Latin-1
    EXPECT_EQ(text_of(label, TavGetStringLabelW), u"caf\u00e9 \u20ac");
    ZtRelease(label);
}

TEST(ExcludedFlag, AnyNonzeroSetsIt) {
    const TAVLABEL label = vector_label({1});
    int32_t flag = 9;
    for (auto [set, expected] : {std::pair{-1, 0}, {7, 1}, {0, 0}}) {
        if (set >= 0) {
            EXPECT_EQ(TavSetExcludedFlag(label, set), 0);
        }
        EXPECT_EQ(TavGetExcludedFlag(label, &flag), 0);
        EXPECT_EQ(flag, expected);
    }
    EXPECT_EQ(TavGetExcludedFlag(label, nullptr), TAV_E_INVALID_ARGUMENT);
    ZtRelease(label);
}

// Every handle argument: null, released, made up, or of another family.
TEST(LabelFunctions, RefuseEveryBadHandleWithoutTouchingReferences) {
    const TAVLABEL text = TavCreateStringLabel("a");
    const TAVLABELTYPE type = TavCreateLabelTypeString();
    const float one = 1;
    const tav_test::BadHandles not_labels(TavCreateStringLabel("gone"), {{"label type", TavCreateLabelTypeString()},
                                                                         {"data", TavCreateVectorData(&one, 1)}});
    const tav_test::BadHandles not_types(TavCreateLabelTypeString(), {{"label", TavCreateStringLabel("b")},
                                                                      {"data", TavCreateVectorData(&one, 1)}});
    uint64_t size = 0;
    int32_t flag = 0;
    struct Case {
        const char* function;
        const tav_test::BadHandles& bad;
        std::function<int32_t(ZTHANDLE)> call;
    } cases[] = {
        {"TavCompareLabels", not_labels, [&](ZTHANDLE h) { return TavCompareLabels(h, text); }},
        {"TavCompareLabels", not_labels, [&](ZTHANDLE h) { return TavCompareLabels(text, h); }},
        {"TavVerifyLabelCompatibility", not_labels, [&](ZTHANDLE h) { return TavVerifyLabelCompatibility(h, type); }},
        {"TavVerifyLabelCompatibility", not_types, [&](ZTHANDLE h) { return TavVerifyLabelCompatibility(text, h); }},
        {"TavGetStringLabel", not_labels, [&](ZTHANDLE h) { return TavGetStringLabel(h, nullptr, &size); }},
        {"TavGetStringLabelW", not_labels, [&](ZTHANDLE h) { return TavGetStringLabelW(h, nullptr, &size); }},
        {"TavGetFloatVectorLabel", not_labels, [&](ZTHANDLE h) { return TavGetFloatVectorLabel(h, nullptr, &size); }},
        {"TavGetExcludedFlag", not_labels, [&](ZTHANDLE h) { return TavGetExcludedFlag(h, &flag); }},
        {"TavSetExcludedFlag", not_labels, [&](ZTHANDLE h) { return TavSetExcludedFlag(h, 1); }},
    };
    for (const Case& c : cases)
        for (const auto& b : c.bad.all()) {
            ReportWatch watch;
            EXPECT_EQ(c.call(b.handle), TAV_E_INVALID_ARGUMENT) << c.function << " " << b.what;
            EXPECT_TRUE(watch.one(TAV_E_INVALID_ARGUMENT, c.function)) << c.function << " " << b.what;
        }
    EXPECT_EQ(size, 0u);
    EXPECT_TRUE(not_labels.others_untouched() && not_types.others_untouched());
    for (ZTHANDLE h : {text, type}) {
        EXPECT_EQ(ZtRefCount(h), 1);
        ZtRelease(h);
    }
}

} // namespace

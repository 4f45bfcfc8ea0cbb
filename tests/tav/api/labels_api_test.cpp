#include <cmath>
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

constexpr float kNaN = std::numeric_limits<float>::quiet_NaN();
constexpr const char* kCreationFailed =
    "Object creation failed unexpectedly; potentially the system is running out of the necessary resources";

TAVLABEL vector_label(std::vector<float> v) { return TavCreateVectorLabel(v.data(), v.size()); }

std::string narrow_text(TAVLABEL label) {
    uint64_t size = 0;
    EXPECT_EQ(TavGetStringLabel(label, nullptr, &size), 0);
    std::string text(size, 'x');
    EXPECT_EQ(TavGetStringLabel(label, text.data(), &size), 0);
    EXPECT_EQ(text.back(), '\0');
    text.pop_back();
    return text;
}

std::u16string wide_text(TAVLABEL label) {
    uint64_t size = 0;
    EXPECT_EQ(TavGetStringLabelW(label, nullptr, &size), 0);
    std::u16string text(size, u'x');
    EXPECT_EQ(TavGetStringLabelW(label, text.data(), &size), 0);
    EXPECT_EQ(text.back(), u'\0');
    text.pop_back();
    return text;
}

TEST(CreateLabel, RefusesNullAndEmptyValues) {
    const float v[] = {1};
    struct Case {
        const char* function;
        std::function<TAVLABEL()> create;
    } cases[] = {
        {"TavCreateStringLabel", [] { return TavCreateStringLabel(nullptr); }},
        {"TavCreateStringLabel", [] { return TavCreateStringLabel(""); }},
        {"TavCreateStringLabelW", [] { return TavCreateStringLabelW(nullptr); }},
        {"TavCreateStringLabelW", [] { return TavCreateStringLabelW(u""); }},
        {"TavCreateVectorLabel", [] { return TavCreateVectorLabel(nullptr, 3); }},
        {"TavCreateVectorLabel", [&] { return TavCreateVectorLabel(v, 0); }},
    };
    for (const Case& c : cases) {
        ReportWatch watch;
        EXPECT_EQ(c.create(), 0u);
        EXPECT_TRUE(watch.one(TAV_E_INVALID_ARGUMENT, c.function)) << c.function;
    }
    ReportWatch watch;
    EXPECT_EQ(TavCreateVectorLabel(v, std::numeric_limits<uint64_t>::max()), 0u);
    EXPECT_TRUE(watch.one(TAV_E_OUT_OF_MEMORY, "TavCreateVectorLabel"));
    EXPECT_EQ(last_report().message, kCreationFailed);
}

TEST(CompareLabels, OnlyZeroMeansEqual) {
    struct Case {
        const char* name;
        TAVLABEL a, b;
        int32_t expected;
    } cases[] = {
        {"string and vector", TavCreateStringLabel("1"), vector_label({1}), 1},
        {"vector and string", vector_label({1}), TavCreateStringLabel("1"), 1},
        {"case differs", TavCreateStringLabel("Cat"), TavCreateStringLabel("cat"), -1},
        {"equal texts", TavCreateStringLabel("cat"), TavCreateStringLabel("cat"), 0},
        {"lengths differ", vector_label({1, 2}), vector_label({1, 2, 3}), -1},
        {"signed zeros", vector_label({0.0f}), vector_label({-0.0f}), 0},
    };
    for (const Case& c : cases) {
        ReportWatch watch;
        EXPECT_EQ(TavCompareLabels(c.a, c.b), c.expected) << c.name;
        EXPECT_TRUE(watch.none());
        EXPECT_EQ(ZtRefCount(c.a), 1);
        ZtRelease(c.a);
        ZtRelease(c.b);
    }
    const TAVLABEL nan = vector_label({kNaN});
    EXPECT_EQ(TavCompareLabels(nan, nan), -1);
    ZtRelease(nan);
}

TEST(VerifyLabelCompatibility, ByClassAndDimension) {
    const TAVLABEL three = vector_label({1, 2, 3}), text = TavCreateStringLabel("a");
    const TAVLABELTYPE dim3 = TavCreateLabelTypeFloatVector(3), dim4 = TavCreateLabelTypeFloatVector(4);
    const TAVLABELTYPE strings = TavCreateLabelTypeString();
    EXPECT_EQ(TavVerifyLabelCompatibility(three, dim3), 1);
    EXPECT_EQ(TavVerifyLabelCompatibility(three, dim4), 0);
    EXPECT_EQ(TavVerifyLabelCompatibility(three, strings), 0);
    EXPECT_EQ(TavVerifyLabelCompatibility(text, strings), 1);
    EXPECT_EQ(TavVerifyLabelCompatibility(text, dim3), 0);
    for (ZTHANDLE h : {three, text, dim3, dim4, strings})
        ZtRelease(h);
}

// The three getters share one protocol; the vector getter alone reports a
// too small buffer, and needs no room for a terminator.
TEST(LabelGetters, BufferProtocol) {
    const TAVLABEL text = TavCreateStringLabel("abc"), values = vector_label({1, 2, 3});
    struct Getter {
        const char* function;
        TAVLABEL label;
        uint64_t needed;
        bool reports_too_small;
        // Calls with a buffer of `size` units, all 0x55, or none; returns
        // the status and whether the units past `needed` are still 0x55.
        std::function<int32_t(bool, uint64_t*, std::vector<uint8_t>*)> call;
    };
    auto bytes_of = [](std::vector<uint8_t>* b) { return b ? b->data() : nullptr; };
    std::vector<Getter> getters = {
        {"TavGetStringLabel", text, 4, false,
         [&](bool buffer, uint64_t* size, std::vector<uint8_t>* b) {
             return TavGetStringLabel(text, buffer ? reinterpret_cast<char*>(bytes_of(b)) : nullptr, size);
         }},
        {"TavGetStringLabelW", text, 4, false,
         [&](bool buffer, uint64_t* size, std::vector<uint8_t>* b) {
             return TavGetStringLabelW(text, buffer ? reinterpret_cast<char16_t*>(bytes_of(b)) : nullptr, size);
         }},
        {"TavGetFloatVectorLabel", values, 3, true,
         [&](bool buffer, uint64_t* size, std::vector<uint8_t>* b) {
             return TavGetFloatVectorLabel(values, buffer ? reinterpret_cast<float*>(bytes_of(b)) : nullptr, size);
         }},
    };
    for (const Getter& g : getters) {
        SCOPED_TRACE(g.function);
        std::vector<uint8_t> buffer(64, 0x55);
        {
            ReportWatch watch;
            uint64_t size = 7;
            EXPECT_EQ(g.call(false, &size, nullptr), 0);
            EXPECT_EQ(size, g.needed);
            EXPECT_TRUE(watch.none());
        }
        {
            ReportWatch watch;
            uint64_t size = g.needed - 1;
            EXPECT_EQ(g.call(true, &size, &buffer), TAV_E_BUFFER_TOO_SMALL);
            EXPECT_EQ(size, g.needed - 1);
            EXPECT_EQ(buffer, std::vector<uint8_t>(64, 0x55));
            if (g.reports_too_small)
                EXPECT_TRUE(watch.one(TAV_E_BUFFER_TOO_SMALL, g.function));
            else
                EXPECT_TRUE(watch.none());
        }
        for (uint64_t given : {g.needed, g.needed + 5}) {
            uint64_t size = given;
            EXPECT_EQ(g.call(true, &size, &buffer), 0);
            EXPECT_EQ(size, g.needed);
            EXPECT_EQ(buffer.back(), 0x55); // nothing written past the value
        }
        ReportWatch watch;
        EXPECT_EQ(g.call(false, nullptr, nullptr), TAV_E_INVALID_ARGUMENT);
        EXPECT_TRUE(watch.one(TAV_E_INVALID_ARGUMENT, g.function));
    }
    EXPECT_EQ(narrow_text(text), "abc");
    float got[3] = {};
    uint64_t count = 3;
    EXPECT_EQ(TavGetFloatVectorLabel(values, got, &count), 0);
    EXPECT_EQ(got[2], 3.0f);

    // A getter of the other class.
    uint64_t size = 0;
    ReportWatch watch;
    EXPECT_EQ(TavGetStringLabel(values, nullptr, &size), TAV_E_INCOMPATIBLE);
    EXPECT_TRUE(watch.one(TAV_E_INCOMPATIBLE, "TavGetStringLabel"));
    EXPECT_EQ(TavGetStringLabelW(values, nullptr, &size), TAV_E_INCOMPATIBLE);
    EXPECT_EQ(TavGetFloatVectorLabel(text, nullptr, &size), TAV_E_INCOMPATIBLE);
    EXPECT_EQ(last_report().function, "TavGetFloatVectorLabel");
    EXPECT_EQ(size, 0u);
    ZtRelease(text);
    ZtRelease(values);
}

TEST(LabelText, RoundTripsInEveryEncoding) {
    tav_port_test::ThreadLocale utf8(tav_port_test::utf8_locale());
    const TAVLABEL wide = TavCreateStringLabelW(u"\u00e9");
    const TAVLABEL narrow = TavCreateStringLabel("\xC3\xA9");
    const TAVLABEL astral = TavCreateStringLabelW(u"a\U0001F600");
    EXPECT_EQ(TavCompareLabels(wide, narrow), 0);
    EXPECT_EQ(wide_text(wide), u"\u00e9");
    EXPECT_EQ(narrow_text(wide), "\xC3\xA9");
    EXPECT_EQ(wide_text(astral), u"a\U0001F600");
    EXPECT_EQ(narrow_text(astral), "a\xF0\x9F\x98\x80");
    // Malformed input is replaced, not refused.
    const TAVLABEL lone = TavCreateStringLabelW(u"\xD800x");
    ASSERT_NE(lone, 0u);
    EXPECT_EQ(wide_text(lone), u"\uFFFDx");
    for (ZTHANDLE h : {wide, narrow, astral, lone})
        ZtRelease(h);
}

TEST(LabelText, NarrowGetterSpeaksTheThreadsCodeset) {
    locale_t latin1 = tav_port_test::latin1_locale();
    if (latin1 == nullptr)
        GTEST_SKIP() << "no ISO-8859-1 locale can be had on this machine";
    tav_port_test::ThreadLocale scope(latin1);
    const TAVLABEL label = TavCreateStringLabelW(u"caf\u00e9 \u20ac");
    uint64_t size = 0;
    EXPECT_EQ(TavGetStringLabel(label, nullptr, &size), 0);
    EXPECT_EQ(size, 7u); // one byte for the e acute, the euro sign as '?'
    EXPECT_EQ(narrow_text(label), "caf\xE9 ?");
    EXPECT_EQ(wide_text(label), u"caf\u00e9 \u20ac"); // stored text untouched
    ZtRelease(label);
}

TEST(ExcludedFlag, AnyNonzeroSetsIt) {
    const TAVLABEL label = vector_label({1});
    int32_t flag = 9;
    EXPECT_EQ(TavGetExcludedFlag(label, &flag), 0);
    EXPECT_EQ(flag, 0);
    EXPECT_EQ(TavSetExcludedFlag(label, 7), 0);
    EXPECT_EQ(TavGetExcludedFlag(label, &flag), 0);
    EXPECT_EQ(flag, 1);
    EXPECT_EQ(TavSetExcludedFlag(label, 0), 0);
    EXPECT_EQ(TavGetExcludedFlag(label, &flag), 0);
    EXPECT_EQ(flag, 0);
    ReportWatch watch;
    EXPECT_EQ(TavGetExcludedFlag(label, nullptr), TAV_E_INVALID_ARGUMENT);
    EXPECT_TRUE(watch.one(TAV_E_INVALID_ARGUMENT, "TavGetExcludedFlag"));
    ZtRelease(label);
}

// Every handle argument: null, released, made up, or of another family.
TEST(LabelFunctions, RefuseEveryBadHandleWithoutTouchingReferences) {
    const TAVLABEL text = TavCreateStringLabel("a"), values = vector_label({1});
    const TAVLABELTYPE type = TavCreateLabelTypeString();
    const float one = 1;
    const TAVDATA data = TavCreateVectorData(&one, 1);
    const TAVLABEL released = TavCreateStringLabel("gone");
    ZtRelease(released);
    const TAVLABELTYPE released_type = TavCreateLabelTypeString();
    ZtRelease(released_type);
    const ZTHANDLE made_up = 0x00DEAD0000BEEF01ull;

    uint64_t size = 0;
    int32_t flag = 0;
    struct Case {
        const char* function;
        std::vector<ZTHANDLE> bad;
        std::function<int32_t(ZTHANDLE)> call;
    } cases[] = {
        {"TavCompareLabels", {0, released, made_up, type, data}, [&](ZTHANDLE h) { return TavCompareLabels(h, text); }},
        {"TavCompareLabels", {0, released, made_up, type, data}, [&](ZTHANDLE h) { return TavCompareLabels(text, h); }},
        {"TavVerifyLabelCompatibility", {0, released, made_up, type, data},
         [&](ZTHANDLE h) { return TavVerifyLabelCompatibility(h, type); }},
        {"TavVerifyLabelCompatibility", {0, released_type, made_up, text, data},
         [&](ZTHANDLE h) { return TavVerifyLabelCompatibility(text, h); }},
        {"TavGetStringLabel", {0, released, made_up, type, data},
         [&](ZTHANDLE h) { return TavGetStringLabel(h, nullptr, &size); }},
        {"TavGetStringLabelW", {0, released, made_up, type, data},
         [&](ZTHANDLE h) { return TavGetStringLabelW(h, nullptr, &size); }},
        {"TavGetFloatVectorLabel", {0, released, made_up, type, data},
         [&](ZTHANDLE h) { return TavGetFloatVectorLabel(h, nullptr, &size); }},
        {"TavGetExcludedFlag", {0, released, made_up, type, data},
         [&](ZTHANDLE h) { return TavGetExcludedFlag(h, &flag); }},
        {"TavSetExcludedFlag", {0, released, made_up, type, data},
         [&](ZTHANDLE h) { return TavSetExcludedFlag(h, 1); }},
    };
    for (const Case& c : cases)
        for (ZTHANDLE h : c.bad) {
            SCOPED_TRACE(testing::Message() << c.function << " " << std::hex << h);
            ReportWatch watch;
            EXPECT_EQ(c.call(h), TAV_E_INVALID_ARGUMENT);
            EXPECT_TRUE(watch.one(TAV_E_INVALID_ARGUMENT, c.function));
            for (ZTHANDLE live : {text, values, type, data})
                EXPECT_EQ(ZtRefCount(live), 1);
        }
    EXPECT_EQ(size, 0u);
    for (ZTHANDLE h : {text, values, type, data})
        ZtRelease(h);
}

} // namespace

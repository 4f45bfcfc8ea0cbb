#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include <gtest/gtest.h>
#include <tav/tav.h>

#include "list_fixture.hpp"
#include "support/reports.hpp"
#include "tav/port/test_locales.hpp"

using list_test::as_tuple;
using list_test::ReportLog;
using list_test::reports;
using list_test::StringVectorList;
using tav_test::ReportWatch;

namespace {

std::string comment(TAV list) {
    uint64_t size = 0;
    EXPECT_EQ(TavGetComment(list, nullptr, &size), 0);
    std::string text(size, 'x');
    EXPECT_EQ(TavGetComment(list, text.data(), &size), 0);
    text.pop_back();
    return text;
}

std::u16string wide_comment(TAV list) {
    uint64_t size = 0;
    EXPECT_EQ(TavGetCommentW(list, nullptr, &size), 0);
    std::u16string text(size, u'x');
    EXPECT_EQ(TavGetCommentW(list, text.data(), &size), 0);
    text.pop_back();
    return text;
}

} // namespace

TEST(ListDates, adding_moves_the_modification_time_only) {
    StringVectorList l;
    SYSTEMTIME created{}, modified{}, createdAfter{}, modifiedAfter{};
    ASSERT_EQ(TavGetCreationDate(l.list, &created), 0);
    ASSERT_EQ(TavGetModificationDate(l.list, &modified), 0);
    EXPECT_LE(as_tuple(created), as_tuple(modified));
    EXPECT_GE(created.wYear, 2020);
    ASSERT_EQ(l.add("a", 1), 0);
    TavGetCreationDate(l.list, &createdAfter);
    TavGetModificationDate(l.list, &modifiedAfter);
    EXPECT_EQ(std::memcmp(&created, &createdAfter, sizeof created), 0);
    EXPECT_LE(as_tuple(modified), as_tuple(modifiedAfter));

    ReportWatch watch;
    EXPECT_EQ(TavGetCreationDate(l.list, nullptr), TAV_E_INVALID_ARGUMENT);
    EXPECT_TRUE(watch.one(TAV_E_INVALID_ARGUMENT, "TavGetCreationDate"));
}

TEST(ListComment, buffer_protocol) {
    StringVectorList l;
    EXPECT_EQ(comment(l.list), "");
    ASSERT_EQ(TavSetComment(l.list, "abc"), 0);
    uint64_t size = 0;
    ASSERT_EQ(TavGetComment(l.list, nullptr, &size), 0);
    EXPECT_EQ(size, 4u);
    char buffer[8] = "zzzzzzz";
    size = 4;
    ASSERT_EQ(TavGetComment(l.list, buffer, &size), 0);
    EXPECT_STREQ(buffer, "abc");
    EXPECT_EQ(size, 4u);

    for (int wide = 0; wide < 2; ++wide) {
        char narrow[8] = "zzzzzzz";
        char16_t units[8] = u"zzzzzzz";
        size = 3;
        ReportWatch watch;
        int32_t status = wide ? TavGetCommentW(l.list, units, &size) : TavGetComment(l.list, narrow, &size);
        EXPECT_EQ(status, TAV_E_BUFFER_TOO_SMALL);
        EXPECT_TRUE(watch.one(TAV_E_BUFFER_TOO_SMALL, "TavGetComment_native"));
        EXPECT_EQ(size, 3u);
        EXPECT_STREQ(narrow, "zzzzzzz");
        EXPECT_EQ(std::u16string(units), u"zzzzzzz");
    }
}

TEST(ListComment, setter_failures_keep_the_old_comment) {
    StringVectorList l;
    ASSERT_EQ(TavSetCommentW(l.list, u"kept"), 0);
    ReportLog log;
    using E = ReportLog::Entry;
    const int32_t invalid = TAV_E_INVALID_ARGUMENT;
    struct Case {
        std::function<int32_t()> call;
        std::vector<E> reported;
    } cases[] = {
        {[&] { return TavSetComment(l.list, ""); }, reports({{invalid, "", "TavSetComment_native"}})},
        {[&] { return TavSetCommentW(l.list, u""); }, reports({{invalid, "", "TavSetComment_native"}})},
        {[&] { return TavSetComment(l.list, nullptr); }, reports({{invalid, "", "TavSetComment"}})},
        {[&] { return TavSetCommentW(l.list, nullptr); }, reports({{invalid, "", "TavSetCommentW"}})},
        {[&] { return TavSetComment(0, "x"); }, reports({{invalid, "", "TavSetComment_native"}})},
        {[&] { return TavSetCommentW(l.dataType, u"x"); }, reports({{invalid, "", "TavSetComment_native"}})},
        {[&] { return TavGetComment(0, nullptr, nullptr); }, reports({{invalid, "", "TavGetComment"}})},
        {[&] { return TavGetCommentW(l.list, nullptr, nullptr); }, reports({{invalid, "", "TavGetCommentW"}})},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(c.call(), invalid);
        EXPECT_EQ(log.take(), c.reported);
    }
    EXPECT_EQ(wide_comment(l.list), u"kept");
}

TEST(ListComment, wide_text_round_trips_and_narrow_text_uses_the_locale) {
    StringVectorList l;
    {
        tav_port_test::ThreadLocale utf8(tav_port_test::utf8_locale());
        ASSERT_EQ(TavSetCommentW(l.list, u"\u00e9\u0416\U0001F600"), 0);
        EXPECT_EQ(wide_comment(l.list), u"\u00e9\u0416\U0001F600");
        EXPECT_EQ(comment(l.list), "\u00e9\u0416\U0001F600");
    }
    locale_t latin1 = tav_port_test::latin1_locale();
    if (latin1 == nullptr)
        GTEST_SKIP() << "no ISO-8859-1 locale can be had on this machine";
    tav_port_test::ThreadLocale scope(latin1);
    // Characters the code page lacks come out as its default character.
    EXPECT_EQ(comment(l.list), "\xe9??");
    ASSERT_EQ(TavSetComment(l.list, "caf\xe9"), 0);
    EXPECT_EQ(wide_comment(l.list), u"caf\u00e9");
}

TEST(ListTypes, enum_getters_report_twice_for_an_invalid_list) {
    ReportLog log;
    const int32_t invalid = TAV_E_INVALID_ARGUMENT;
    EXPECT_EQ(TavGetLabelTypeEnum(0), -1);
    EXPECT_EQ(log.take(), reports({{invalid, "", "TavGetLabelType"}, {invalid, "", "TavGetLabelTypeEnum"}}));
    EXPECT_EQ(TavGetDataTypeEnum(0), -1);
    EXPECT_EQ(log.take(), reports({{invalid, "", "TavGetDataType"}, {invalid, "", "TavGetDataTypeEnum"}}));
}

TEST(ListMask, mask_data_must_fit_and_is_held_itself) {
    StringVectorList l;
    const float one = 1, two[] = {1, 2};
    TAVDATA fits = TavCreateVectorData(&one, 1);
    TAVDATA tooLong = TavCreateVectorData(two, 2);
    EXPECT_EQ(TavGetMaskData(l.list), 0u);
    ReportWatch watch;
    EXPECT_EQ(TavSetMaskData(l.list, tooLong), TAV_E_INCOMPATIBLE);
    EXPECT_TRUE(watch.one(TAV_E_INCOMPATIBLE, "TavSetMaskData"));
    EXPECT_EQ(TavSetMaskData(l.list, 0), TAV_E_INVALID_ARGUMENT);
    EXPECT_EQ(TavGetMaskData(l.list), 0u);
    ASSERT_EQ(TavSetMaskData(l.list, fits), 0);
    EXPECT_EQ(TavGetMaskData(l.list), fits);
    EXPECT_EQ(ZtRefCount(fits), 2);
    ASSERT_EQ(TavSetMaskData(l.list, fits), 0);
    EXPECT_EQ(ZtRefCount(fits), 2);

    // Image data never fits a vector-typed list, nor vector data an image list.
    TAVLABELTYPE lt = TavCreateLabelTypeString();
    TAVDATATYPE it = TavCreateDataTypeImageEx(4, 4, 1, ZT_DT_U8, 0, 0);
    TAV images = TavCreate(lt, it);
    EXPECT_EQ(TavSetMaskData(images, fits), TAV_E_INCOMPATIBLE);
    for (ZTHANDLE h : {images, lt, it, tooLong})
        ZtRelease(h);
    EXPECT_EQ(ZtRefCount(fits), 2);
    ZtRelease(fits);
}

TEST(ListQueries, items_by_index_and_by_label) {
    StringVectorList l;
    for (auto [text, value] : std::vector<std::pair<const char*, float>>{{"b", 0}, {"a", 1}, {"b", 2}})
        ASSERT_EQ(l.add(text, value), 0);
    {
        ReportWatch watch;
        EXPECT_EQ(TavGetData(l.list, -1), 0u);
        EXPECT_EQ(TavGetData(l.list, 3), 0u);
        EXPECT_EQ(TavGetLabel(l.list, 2), 0u);
        EXPECT_EQ(TavGetDataReference(TavGetLabel(l.list, 1), 2), 0u);
        EXPECT_EQ(TavGetDataReference(TavGetLabel(l.list, 1), -1), 0u);
        EXPECT_TRUE(watch.none());
    }
    TAVLABEL b = TavGetLabel(l.list, 1);
    EXPECT_EQ(TavGetNumDataReferences(b), 2);
    EXPECT_EQ(TavGetNumDataReferencesByLabel(l.list, 1), 2);
    EXPECT_EQ(TavGetDataReference(b, 1), TavGetData(l.list, 2));
    EXPECT_EQ(TavGetDataByLabel(l.list, 1, 0), TavGetData(l.list, 0));
    EXPECT_EQ(TavGetLabelReference(TavGetData(l.list, 2), 0), b);
    EXPECT_EQ(TavGetNumLabelReferences(TavGetData(l.list, 1)), 1);

    ReportLog log;
    using E = ReportLog::Entry;
    const int32_t range = TAV_E_INDEX_OUT_OF_RANGE, invalid = TAV_E_INVALID_ARGUMENT;
    struct Case {
        std::function<int64_t()> call;
        int64_t result;
        std::vector<E> reported;
    } cases[] = {
        {[&] { return TavGetNumDataReferencesByLabel(l.list, 2); }, -1,
         reports({{range, "invalid label index", "TavGetNumDataReferencesByLabel"}})},
        {[&] { return TavGetNumDataReferencesByLabel(0, 0); }, -1,
         reports({{invalid, "", "TavGetNumLabelEntries"},
                  {range, "invalid label index", "TavGetNumDataReferencesByLabel"}})},
        // A negative label index passes the first test; the inner calls report.
        {[&] { return TavGetNumDataReferencesByLabel(l.list, -1); }, -1,
         reports({{invalid, "", "TavGetNumDataReferences"}})},
        {[&] { return static_cast<int64_t>(TavGetDataByLabel(l.list, 2, 0)); }, 0,
         reports({{range, "Invalid label index", "TavGetDataByLabel"}})},
        {[&] { return static_cast<int64_t>(TavGetDataByLabel(l.list, 0, 1)); }, 0,
         reports({{range, "Invalid label data index", "TavGetDataByLabel"}})},
        {[&] { return static_cast<int64_t>(TavGetDataByLabel(l.list, -1, -2)); }, 0,
         reports({{invalid, "", "TavGetNumDataReferences"}, {invalid, "", "TavGetDataReference"}})},
        {[&] { return static_cast<int64_t>(TavGetLabelReference(TavGetData(l.list, 0), 1)); }, 0,
         reports({{range, "", "TavGetLabelReference"}})},
        {[&] { return TavGetNumLabelReferences(b); }, -1, reports({{invalid, "", "TavGetNumLabelReferences"}})},
        {[&] { return TavGetNumDataEntries(b); }, -1, reports({{invalid, "", "TavGetNumDataEntries"}})},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(c.call(), c.result);
        EXPECT_EQ(log.take(), c.reported);
    }
}

TEST(ListQueries, indices_find_the_lists_own_items_and_equal_labels) {
    StringVectorList l;
    for (auto [text, value] : std::vector<std::pair<const char*, float>>{{"a", 0}, {"b", 1}, {"c", 2}})
        ASSERT_EQ(l.add(text, value), 0);
    const float v = 0;
    TAVDATA own = TavCreateVectorData(&v, 1);
    TAVLABEL c = TavCreateStringLabel("c");
    TAVLABEL missing = TavCreateStringLabel("d");
    const float two[] = {1, 2};
    TAVLABEL vector = TavCreateVectorLabel(two, 2);
    ASSERT_EQ(TavAddItem(l.list, own, c), 0);
    ReportWatch watch;
    EXPECT_EQ(TavGetDataIndex(l.list, own), -1);
    EXPECT_EQ(TavGetDataIndex(l.list, TavGetData(l.list, 3)), 3);
    EXPECT_EQ(TavGetLabelIndex(l.list, c), 2);
    EXPECT_EQ(TavGetLabelIndex(l.list, TavGetLabel(l.list, 1)), 1);
    EXPECT_EQ(TavGetLabelIndex(l.list, missing), -1);
    EXPECT_EQ(TavGetLabelIndex(l.list, vector), -1);
    EXPECT_TRUE(watch.none());
    EXPECT_EQ(TavGetLabelIndex(0, c), -1);
    EXPECT_TRUE(watch.one(TAV_E_INVALID_ARGUMENT, "TavGetLabelIndex"));
    for (ZTHANDLE h : {own, c, missing, vector})
        ZtRelease(h);
}

TEST(ListQueries, statistics_of_items_per_label) {
    StringVectorList l;
    int64_t count = 7, low = 7, high = 7;
    double mean = 7;
    ASSERT_EQ(TavGetStatistics(l.list, &count, &low, &high, &mean), 0);
    EXPECT_EQ(std::make_tuple(count, low, high, mean), std::make_tuple(int64_t{0}, int64_t{0}, int64_t{0}, 0.0));
    for (const char* text : {"a", "b", "b", "b", "c", "c"})
        ASSERT_EQ(l.add(text, 0), 0);
    ASSERT_EQ(TavGetStatistics(l.list, &count, &low, &high, &mean), 0);
    EXPECT_EQ(std::make_tuple(count, low, high, mean), std::make_tuple(int64_t{3}, int64_t{1}, int64_t{3}, 2.0));

    count = low = high = 9;
    ReportWatch watch;
    EXPECT_EQ(TavGetStatistics(0, &count, &low, &high, &mean), TAV_E_INVALID_ARGUMENT);
    EXPECT_TRUE(watch.one(TAV_E_INVALID_ARGUMENT, "TavGetStatistics"));
    EXPECT_EQ(std::make_tuple(count, low, high), std::make_tuple(int64_t{9}, int64_t{9}, int64_t{9}));
}

TEST(ListQueries, no_query_changes_a_reference_count) {
    StringVectorList l;
    ASSERT_EQ(l.add("a", 0), 0);
    ASSERT_EQ(l.add("b", 1), 0);
    const float v = 0;
    TAVDATA mask = TavCreateVectorData(&v, 1);
    ASSERT_EQ(TavSetMaskData(l.list, mask), 0);
    TAVLABEL probe = TavCreateStringLabel("b");
    TAVDATA item = TavGetData(l.list, 1);
    TAVLABEL label = TavGetLabel(l.list, 1);
    const std::vector<ZTHANDLE> watched = {l.list, l.labelType, l.dataType, mask, probe, item, label};
    auto counts = [&] {
        std::vector<int64_t> c;
        for (ZTHANDLE h : watched)
            c.push_back(ZtRefCount(h));
        return c;
    };
    const auto before = counts();
    SYSTEMTIME time;
    uint64_t size = 0;
    int64_t a, b, c;
    double d;
    const std::function<void()> calls[] = {
        [&] { TavGetCreationDate(l.list, &time); },  [&] { TavGetModificationDate(l.list, &time); },
        [&] { TavGetComment(l.list, nullptr, &size); }, [&] { TavGetCommentW(l.list, nullptr, &size); },
        [&] { TavSetComment(l.list, "x"); },          [&] { TavSetCommentW(l.list, u"y"); },
        [&] { TavGetLabelType(l.list); },             [&] { TavGetDataType(l.list); },
        [&] { TavGetLabelTypeEnum(l.list); },         [&] { TavGetDataTypeEnum(l.list); },
        [&] { TavGetMaskData(l.list); },              [&] { TavSetMaskData(l.list, mask); },
        [&] { TavGetNumDataEntries(l.list); },        [&] { TavGetNumLabelEntries(l.list); },
        [&] { TavGetData(l.list, 0); },               [&] { TavGetLabel(l.list, 0); },
        [&] { TavGetNumDataReferences(label); },      [&] { TavGetNumDataReferencesByLabel(l.list, 1); },
        [&] { TavGetDataReference(label, 0); },       [&] { TavGetDataByLabel(l.list, 1, 0); },
        [&] { TavGetNumLabelReferences(item); },      [&] { TavGetLabelReference(item, 0); },
        [&] { TavGetDataIndex(l.list, item); },       [&] { TavGetLabelIndex(l.list, probe); },
        [&] { TavGetStatistics(l.list, &a, &b, &c, &d); },
    };
    for (std::size_t i = 0; i < std::size(calls); ++i) {
        calls[i]();
        ASSERT_EQ(counts(), before) << "call " << i;
    }
    ZtRelease(mask);
    ZtRelease(probe);
}

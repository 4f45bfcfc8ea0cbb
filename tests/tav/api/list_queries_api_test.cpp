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

std::u16string wide_comment(TAV list) {
    uint64_t size = 0;
    EXPECT_EQ(TavGetCommentW(list, nullptr, &size), 0);
    std::u16string text(size, u'x');
    EXPECT_EQ(TavGetCommentW(list, text.data(), &size), 0);
    text.pop_back();
    return text;
}

} // namespace

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

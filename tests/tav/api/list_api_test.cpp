#include <algorithm>
#include <cstring>
#include <functional>
#include <random>
#include <string>
#include <vector>

#include <gtest/gtest.h>
#include <tav/tav.h>

#include "list_fixture.hpp"
#include "support/reports.hpp"

using list_test::data_values;
using list_test::label_texts;
using list_test::ReportLog;
using list_test::reports;
using list_test::StringVectorList;
using tav_test::ReportWatch;

TEST(TavAddItem, labels_of_equal_value_are_held_once_and_sorted) {
    StringVectorList l;
    ASSERT_EQ(l.add("b", 0), 0);
    ASSERT_EQ(l.add("a", 1), 0);
    ASSERT_EQ(l.add("c", 2), 0);
    EXPECT_EQ(label_texts(l.list), (std::vector<std::string>{"a", "b", "c"}));
    EXPECT_EQ(data_values(l.list), (std::vector<float>{0, 1, 2}));

    ASSERT_EQ(l.add("a", 3), 0);
    EXPECT_EQ(TavGetNumLabelEntries(l.list), 3);
    EXPECT_EQ(TavGetNumDataReferences(TavGetLabel(l.list, 0)), 2);
    EXPECT_EQ(list_test::data_value(TavGetDataByLabel(l.list, 0, 1)), 3.0f);

    // A new label before all others moves every label index up by one.
    ASSERT_EQ(l.add("0", 4), 0);
    EXPECT_EQ(label_texts(l.list), (std::vector<std::string>{"0", "a", "b", "c"}));
    EXPECT_EQ(list_test::data_value(TavGetDataByLabel(l.list, 1, 1)), 3.0f);
}

TEST(TavAddItem, items_that_do_not_fit_or_invalid_handles_change_nothing) {
    StringVectorList l;
    ASSERT_EQ(l.add("a", 1), 0);
    SYSTEMTIME before{};
    TavGetModificationDate(l.list, &before);
    const float two[] = {1, 2};
    TAVLABEL vectorLabel = TavCreateVectorLabel(two, 2);
    TAVLABEL label = TavCreateStringLabel("b");
    TAVDATA wide = TavCreateVectorData(two, 2);
    TAVDATA data = TavCreateVectorData(two, 1);
    struct Case {
        TAV list;
        TAVDATA data;
        TAVLABEL label;
        int32_t code;
    } cases[] = {
        {l.list, data, vectorLabel, TAV_E_INCOMPATIBLE}, {l.list, wide, label, TAV_E_INCOMPATIBLE},
        {0, data, label, TAV_E_INVALID_ARGUMENT},        {l.list, 0, label, TAV_E_INVALID_ARGUMENT},
        {l.list, data, 0, TAV_E_INVALID_ARGUMENT},       {l.list, label, data, TAV_E_INVALID_ARGUMENT},
        {data, data, label, TAV_E_INVALID_ARGUMENT},
    };
    for (const Case& c : cases) {
        ReportWatch watch;
        EXPECT_EQ(TavAddItem(c.list, c.data, c.label), c.code);
        EXPECT_TRUE(watch.one(c.code, "TavAddItem"));
    }
    SYSTEMTIME after{};
    TavGetModificationDate(l.list, &after);
    EXPECT_EQ(std::memcmp(&before, &after, sizeof before), 0);
    EXPECT_EQ(TavGetNumDataEntries(l.list), 1);
    EXPECT_EQ(TavGetNumLabelEntries(l.list), 1);
    for (ZTHANDLE h : {vectorLabel, label, wide, data}) {
        EXPECT_EQ(ZtRefCount(h), 1);
        ZtRelease(h);
    }
}

TEST(TavDelete, deleting_items_and_labels_shifts_indices_and_drops_empty_labels) {
    StringVectorList l;
    for (auto [text, value] : std::vector<std::pair<const char*, float>>{
             {"b", 0}, {"a", 1}, {"b", 2}, {"c", 3}, {"b", 4}, {"a", 5}})
        ASSERT_EQ(l.add(text, value), 0);

    // The only item of "c" takes its label with it.
    ASSERT_EQ(TavDeleteData(l.list, 3), 0);
    EXPECT_EQ(label_texts(l.list), (std::vector<std::string>{"a", "b"}));
    EXPECT_EQ(data_values(l.list), (std::vector<float>{0, 1, 2, 4, 5}));

    // A label with three items removes the three; the others keep their order.
    ASSERT_EQ(TavDeleteLabel(l.list, 1), 0);
    EXPECT_EQ(label_texts(l.list), (std::vector<std::string>{"a"}));
    EXPECT_EQ(data_values(l.list), (std::vector<float>{1, 5}));

    ASSERT_EQ(TavDeleteDataByLabel(l.list, 0, 1), 0);
    EXPECT_EQ(data_values(l.list), (std::vector<float>{1}));
    EXPECT_EQ(TavGetNumDataReferences(TavGetLabel(l.list, 0)), 1);
}

TEST(TavDelete, out_of_range_and_invalid_lists_are_reported_under_each_name) {
    StringVectorList l;
    ASSERT_EQ(l.add("a", 1), 0);
    ReportLog log;
    using E = ReportLog::Entry;
    const int32_t range = TAV_E_INDEX_OUT_OF_RANGE, invalid = TAV_E_INVALID_ARGUMENT;
    struct Case {
        std::function<int32_t()> call;
        int32_t result;
        std::vector<E> reported;
    } cases[] = {
        {[&] { return TavDeleteData(l.list, -1); }, range, reports({{range, "", "TavDeleteData"}})},
        {[&] { return TavDeleteData(l.list, 1); }, range, reports({{range, "", "TavDeleteData"}})},
        {[&] { return TavDeleteData(0, 0); }, invalid, reports({{invalid, "", "TavDeleteData"}})},
        {[&] { return TavDeleteLabel(l.list, 1); }, range, reports({{range, "", "TavDeleteLabel"}})},
        {[&] { return TavDeleteLabel(l.list, -1); }, range, reports({{range, "", "TavDeleteLabel"}})},
        {[&] { return TavDeleteLabel(l.labelType, 0); }, invalid, reports({{invalid, "", "TavDeleteLabel"}})},
        {[&] { return TavDeleteDataByLabel(l.list, 1, 0); }, range,
         reports({{range, "Invalid label index", "TavDeleteDataByLabel"}})},
        {[&] { return TavDeleteDataByLabel(l.list, 0, 1); }, range,
         reports({{range, "Invalid label data index", "TavDeleteDataByLabel"}})},
        // An invalid list reads as label count -1.
        {[&] { return TavDeleteDataByLabel(0, 0, 0); }, range,
         reports({{invalid, "", "TavGetNumLabelEntries"}, {range, "Invalid label index", "TavDeleteDataByLabel"}})},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(c.call(), c.result);
        EXPECT_EQ(log.take(), c.reported);
    }
    EXPECT_EQ(data_values(l.list), (std::vector<float>{1}));
}

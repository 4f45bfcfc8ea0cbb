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

namespace {

TAVDATATYPE image_type() { return TavCreateDataTypeImageEx(8, 8, 1, ZT_DT_U8, 0, 0); }

} // namespace

TEST(TavCreate, the_type_classes_choose_the_form_and_the_list_holds_the_types_themselves) {
    struct Case {
        std::function<TAVLABELTYPE()> labelType;
        std::function<TAVDATATYPE()> dataType;
        int32_t labelEnum, dataEnum;
    } cases[] = {
        {[] { return TavCreateLabelTypeString(); }, image_type, 0, 0},
        {[] { return TavCreateLabelTypeString(); }, [] { return TavCreateDataTypeFloatVector(3); }, 0, 1},
        {[] { return TavCreateLabelTypeFloatVector(2); }, image_type, 1, 0},
        {[] { return TavCreateLabelTypeFloatVector(2); }, [] { return TavCreateDataTypeFloatVector(3); }, 1, 1},
    };
    for (const Case& c : cases) {
        TAVLABELTYPE lt = c.labelType();
        TAVDATATYPE dt = c.dataType();
        TAV list = TavCreate(lt, dt);
        ASSERT_NE(list, 0u);
        EXPECT_EQ(ZtRefCount(list), 1);
        EXPECT_EQ(ZtRefCount(lt), 2);
        EXPECT_EQ(ZtRefCount(dt), 2);
        EXPECT_EQ(TavGetLabelType(list), lt);
        EXPECT_EQ(TavGetDataType(list), dt);
        EXPECT_EQ(TavGetLabelTypeEnum(list), c.labelEnum);
        EXPECT_EQ(TavGetDataTypeEnum(list), c.dataEnum);
        EXPECT_EQ(IsTav(list), 1);
        ZtRelease(list);
        EXPECT_EQ(ZtRefCount(lt), 1);
        EXPECT_EQ(ZtRefCount(dt), 1);
        ZtRelease(lt);
        ZtRelease(dt);
    }
}

TEST(TavCreate, refuses_handles_that_are_not_types) {
    TAVLABELTYPE lt = TavCreateLabelTypeString();
    TAVDATATYPE dt = TavCreateDataTypeFloatVector(1);
    TAVDATATYPE dead = TavCreateDataTypeFloatVector(1);
    ZtRelease(dead);
    const std::pair<TAVLABELTYPE, TAVDATATYPE> cases[] = {{0, dt}, {lt, 0}, {dt, dt}, {lt, lt}, {lt, dead}};
    for (auto [l, d] : cases) {
        ReportWatch watch;
        EXPECT_EQ(TavCreate(l, d), 0u);
        EXPECT_TRUE(watch.one(TAV_E_INVALID_ARGUMENT, "TavCreate"));
    }
    EXPECT_EQ(ZtRefCount(lt), 1);
    EXPECT_EQ(ZtRefCount(dt), 1);
    ZtRelease(lt);
    ZtRelease(dt);
}

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

TEST(TavAddItem, keeps_clones_and_never_changes_the_callers_counts) {
    StringVectorList l;
    TAVLABEL label = TavCreateStringLabel("cat");
    float value = 5;
    TAVDATA data = TavCreateVectorData(&value, 1);
    ASSERT_EQ(TavAddItem(l.list, data, label), 0);
    ASSERT_EQ(TavAddItem(l.list, data, label), 0);
    for (ZTHANDLE h : {label, data, l.list})
        EXPECT_EQ(ZtRefCount(h), 1);
    EXPECT_EQ(ZtRefCount(l.labelType), 2);
    EXPECT_EQ(TavGetNumDataEntries(l.list), 2);
    EXPECT_EQ(TavGetNumLabelEntries(l.list), 1);
    TAVDATA first = TavGetData(l.list, 0);
    TAVDATA second = TavGetData(l.list, 1);
    EXPECT_NE(first, data);
    EXPECT_NE(first, second);
    EXPECT_EQ(TavGetDataIndex(l.list, second), 1);
    // The caller's objects may go; the list's items stay.
    ZtRelease(label);
    ZtRelease(data);
    EXPECT_EQ(label_texts(l.list), (std::vector<std::string>{"cat"}));
    EXPECT_EQ(data_values(l.list), (std::vector<float>{5, 5}));
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

TEST(ListLifetime, the_last_release_frees_list_data_and_labels) {
    TAVLABELTYPE lt = TavCreateLabelTypeString();
    TAVDATATYPE dt = TavCreateDataTypeFloatVector(1);
    TAV list = TavCreate(lt, dt);
    const float v = 1;
    for (const char* text : {"x", "y", "x"}) {
        TAVLABEL label = TavCreateStringLabel(text);
        TAVDATA data = TavCreateVectorData(&v, 1);
        ASSERT_EQ(TavAddItem(list, data, label), 0);
        ZtRelease(label);
        ZtRelease(data);
    }
    TAVDATA mask = TavCreateVectorData(&v, 1);
    ASSERT_EQ(TavSetMaskData(list, mask), 0);
    EXPECT_EQ(ZtRefCount(mask), 2);
    std::vector<ZTHANDLE> borrowed;
    for (int32_t i = 0; i < 3; ++i)
        borrowed.push_back(TavGetData(list, i));
    for (int32_t i = 0; i < 2; ++i)
        borrowed.push_back(TavGetLabel(list, i));
    for (ZTHANDLE h : borrowed)
        EXPECT_NE(ZtIsObject(h), 0);
    ZtRelease(list);
    EXPECT_EQ(ZtIsObject(list), 0);
    for (ZTHANDLE h : borrowed)
        EXPECT_EQ(ZtIsObject(h), 0);
    for (ZTHANDLE h : {lt, dt, mask}) {
        EXPECT_EQ(ZtRefCount(h), 1);
        ZtRelease(h);
    }
}

// Thousands of random adds and deletes through the public functions against
// a plain model: the label texts in order, and the data values with labels.
TEST(ListModel, random_adds_and_deletes_match_a_simple_model) {
    StringVectorList l;
    std::mt19937 random(4242);
    std::vector<std::string> labels;
    std::vector<std::pair<float, std::string>> data;
    for (int step = 0; step < 3000; ++step) {
        int op = static_cast<int>(random() % 10);
        if (op < 5 || data.empty()) {
            std::string text = std::string(1, static_cast<char>('a' + random() % 26)) + std::to_string(random() % 3);
            ASSERT_EQ(l.add(text.c_str(), static_cast<float>(step)), 0);
            if (std::find(labels.begin(), labels.end(), text) == labels.end()) {
                labels.push_back(text);
                std::sort(labels.begin(), labels.end());
            }
            data.emplace_back(static_cast<float>(step), text);
        } else if (op < 8) {
            int32_t index = static_cast<int32_t>(random() % data.size());
            ASSERT_EQ(TavDeleteData(l.list, index), 0);
            std::string text = data[index].second;
            data.erase(data.begin() + index);
            if (std::none_of(data.begin(), data.end(), [&](auto& d) { return d.second == text; }))
                std::erase(labels, text);
        } else if (op < 9) {
            int32_t index = static_cast<int32_t>(random() % labels.size());
            ASSERT_EQ(TavDeleteLabel(l.list, index), 0);
            std::erase_if(data, [&](auto& d) { return d.second == labels[index]; });
            labels.erase(labels.begin() + index);
        } else {
            int32_t labelIndex = static_cast<int32_t>(random() % labels.size());
            int32_t count = TavGetNumDataReferencesByLabel(l.list, labelIndex);
            ASSERT_GT(count, 0);
            int32_t j = static_cast<int32_t>(random() % count);
            ASSERT_EQ(TavDeleteDataByLabel(l.list, labelIndex, j), 0);
            // Item j of the label in the order added, which is data order.
            int32_t seen = -1;
            for (std::size_t d = 0; d < data.size(); ++d)
                if (data[d].second == labels[labelIndex] && ++seen == j) {
                    data.erase(data.begin() + static_cast<std::ptrdiff_t>(d));
                    break;
                }
            if (std::none_of(data.begin(), data.end(), [&](auto& d) { return d.second == labels[labelIndex]; }))
                labels.erase(labels.begin() + labelIndex);
        }
        ASSERT_EQ(label_texts(l.list), labels) << "step " << step;
        ASSERT_EQ(TavGetNumDataEntries(l.list), static_cast<int32_t>(data.size()));
        if (step % 50 == 0) {
            for (std::size_t d = 0; d < data.size(); ++d) {
                TAVDATA item = TavGetData(l.list, static_cast<int32_t>(d));
                ASSERT_EQ(list_test::data_value(item), data[d].first);
                ASSERT_EQ(list_test::label_text(TavGetLabelReference(item, 0)), data[d].second);
            }
        }
    }
}

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include <gtest/gtest.h>
#include <tav/tav.h>

#include "list_fixture.hpp"

using namespace list_test;

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
    const int32_t invalid = TAV_E_INVALID_ARGUMENT, incompatible = TAV_E_INCOMPATIBLE;
    auto add = [](TAV list, TAVDATA data, TAVLABEL label) { return [=] { return TavAddItem(list, data, label); }; };
    auto refused = [](int32_t code) { return refusal(code, "TavAddItem"); };
    expect_calls({
        {"vector label", add(l.list, data, vectorLabel), incompatible, refused(incompatible)},
        {"wide data", add(l.list, wide, label), incompatible, refused(incompatible)},
        {"null list", add(0, data, label), invalid, refused(invalid)},
        {"null data", add(l.list, 0, label), invalid, refused(invalid)},
        {"null label", add(l.list, data, 0), invalid, refused(invalid)},
        {"swapped", add(l.list, label, data), invalid, refused(invalid)},
        {"data as list", add(data, data, label), invalid, refused(invalid)},
    });
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

// The list's own rules are its test; here each call reaches the item it names.
TEST(TavAddItemAndDelete, adding_shares_labels_and_deleting_shifts_indices_and_drops_empty_labels) {
    StringVectorList l;
    for (auto [text, value] : std::vector<std::pair<const char*, float>>{
             {"b", 0}, {"a", 1}, {"b", 2}, {"c", 3}, {"b", 4}, {"a", 5}, {"d", 6}})
        ASSERT_EQ(l.add(text, value), 0);
    EXPECT_EQ(label_texts(l.list), (std::vector<std::string>{"a", "b", "c", "d"}));
    EXPECT_EQ(TavGetNumDataReferences(TavGetLabel(l.list, 1)), 3);
    ASSERT_EQ(TavDeleteData(l.list, 3), 0);            // c's only item, and c with it
    ASSERT_EQ(TavDeleteLabel(l.list, 1), 0);           // b and its three items
    ASSERT_EQ(TavDeleteDataByLabel(l.list, 0, 1), 0);  // a's second item
    EXPECT_EQ(label_texts(l.list), (std::vector<std::string>{"a", "d"}));
    EXPECT_EQ(data_values(l.list), (std::vector<float>{1, 6}));
}

TEST(TavDelete, out_of_range_and_invalid_lists_are_reported_under_each_name) {
    StringVectorList l;
    ASSERT_EQ(l.add("a", 1), 0);
    const int32_t range = TAV_E_INDEX_OUT_OF_RANGE, invalid = TAV_E_INVALID_ARGUMENT;
    auto own = [](int32_t code, const char* function, const char* message = "") {
        return Reports{{code, message, function}};
    };
    expect_calls({
        {"data -1", [&] { return TavDeleteData(l.list, -1); }, range, own(range, "TavDeleteData")},
        {"data 1", [&] { return TavDeleteData(l.list, 1); }, range, own(range, "TavDeleteData")},
        {"data of null", [&] { return TavDeleteData(0, 0); }, invalid, own(invalid, "TavDeleteData")},
        {"label 1", [&] { return TavDeleteLabel(l.list, 1); }, range, own(range, "TavDeleteLabel")},
        {"label -1", [&] { return TavDeleteLabel(l.list, -1); }, range, own(range, "TavDeleteLabel")},
        {"label of a type", [&] { return TavDeleteLabel(l.labelType, 0); }, invalid, own(invalid, "TavDeleteLabel")},
        {"by label 1", [&] { return TavDeleteDataByLabel(l.list, 1, 0); }, range,
         own(range, "TavDeleteDataByLabel", "Invalid label index")},
        {"by label, item 1", [&] { return TavDeleteDataByLabel(l.list, 0, 1); }, range,
         own(range, "TavDeleteDataByLabel", "Invalid label data index")},
        // An invalid list reads as label count -1.
        {"by label of null", [&] { return TavDeleteDataByLabel(0, 0, 0); }, range,
         {{invalid, "", "TavGetNumLabelEntries"}, {range, "Invalid label index", "TavDeleteDataByLabel"}}},
    });
    EXPECT_EQ(data_values(l.list), (std::vector<float>{1}));
}

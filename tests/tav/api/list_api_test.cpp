#include <cstring>

#include "list_fixture.hpp"

using namespace list_test;

TEST(TavAddItem, items_that_do_not_fit_or_invalid_handles_change_nothing) {
    StringVectorList l;
    ASSERT_EQ(l.add("a", 1), 0);
    SYSTEMTIME before{}, after{};
    TavGetModificationDate(l.list, &before);
    const float two[] = {1, 2};
    Owned owned;
    const TAVLABEL vectorLabel = owned.hold(TavCreateVectorLabel(two, 2)), label = owned.hold(TavCreateStringLabel("b"));
    const TAVDATA wide = owned.hold(TavCreateVectorData(two, 2)), data = owned.hold(TavCreateVectorData(two, 1));
    const int32_t invalid = TAV_E_INVALID_ARGUMENT, incompatible = TAV_E_INCOMPATIBLE;
    auto add = [](const char* what, TAV list, TAVDATA data, TAVLABEL label, int32_t code) {
        return fails(what, [=] { return TavAddItem(list, data, label); }, code, "TavAddItem");
    };
    expect_calls({
        add("vector label", l.list, data, vectorLabel, incompatible),
        add("wide data", l.list, wide, label, incompatible),
        add("null list", 0, data, label, invalid),
        add("null data", l.list, 0, label, invalid),
        add("null label", l.list, data, 0, invalid),
        add("swapped", l.list, label, data, invalid),
        add("data as list", data, data, label, invalid),
    });
    TavGetModificationDate(l.list, &after);
    EXPECT_EQ(std::memcmp(&before, &after, sizeof before), 0);
    EXPECT_EQ(TavGetNumDataEntries(l.list), 1);
    EXPECT_EQ(TavGetNumLabelEntries(l.list), 1);
    for (ZTHANDLE h : owned.handles)
        EXPECT_EQ(ZtRefCount(h), 1);
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
    const char* byLabel = "TavDeleteDataByLabel";
    expect_calls({
        fails("data -1", [&] { return TavDeleteData(l.list, -1); }, range, "TavDeleteData"),
        fails("data 1", [&] { return TavDeleteData(l.list, 1); }, range, "TavDeleteData"),
        fails("data of null", [&] { return TavDeleteData(0, 0); }, invalid, "TavDeleteData"),
        fails("label 1", [&] { return TavDeleteLabel(l.list, 1); }, range, "TavDeleteLabel"),
        fails("label -1", [&] { return TavDeleteLabel(l.list, -1); }, range, "TavDeleteLabel"),
        fails("label of a type", [&] { return TavDeleteLabel(l.labelType, 0); }, invalid, "TavDeleteLabel"),
        fails("by label 1", [&] { return TavDeleteDataByLabel(l.list, 1, 0); }, range, byLabel, "Invalid label index"),
        fails("by label, item 1", [&] { return TavDeleteDataByLabel(l.list, 0, 1); }, range, byLabel,
              "Invalid label data index"),
        // An invalid list reads as label count -1.
        {"by label of null", [&] { return TavDeleteDataByLabel(0, 0, 0); }, range,
         {report(invalid, "TavGetNumLabelEntries"), report(range, byLabel, "Invalid label index")}},
    });
    EXPECT_EQ(data_values(l.list), (std::vector<float>{1}));
}

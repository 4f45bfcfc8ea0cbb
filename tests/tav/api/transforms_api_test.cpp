#include <algorithm>
#include <cmath>

#include "list_fixture.hpp"

using namespace list_test;

namespace {

// A label or data callback driven by a std::function (0: the callback
// fails); counts its calls and remembers every handle it handed over: the
// transform must release each.
struct Map {
    explicit Map(std::function<ZTHANDLE(ZTHANDLE)> f) : map(std::move(f)) {}
    std::function<ZTHANDLE(ZTHANDLE)> map;
    int calls = 0;
    std::vector<ZTHANDLE> made;
    static int32_t call(void* context, ZTHANDLE source, ZTHANDLE* result) {
        auto* self = static_cast<Map*>(context);
        ++self->calls;
        if ((*result = self->map(source)) != 0)
            self->made.push_back(*result);
        return *result != 0;
    }
    bool all_released() const {
        return std::all_of(made.begin(), made.end(), [](ZTHANDLE h) { return ZtRefCount(h) == -1; });
    }
};

TAVDATA vector_data(float value) { return TavCreateVectorData(&value, 1); }

// Labels b (values 1, 3), a (2), c (4): label order a, b, c.
struct SourceList : StringVectorList {
    SourceList() : StringVectorList{{"b", 1}, {"a", 2}, {"b", 3}, {"c", 4}} {}
};

std::vector<float> values_of_label(TAV list, int32_t labelIndex) {
    std::vector<float> values;
    TAVLABEL label = TavGetLabel(list, labelIndex);
    for (int32_t r = 0; r < TavGetNumDataReferences(label); ++r)
        values.push_back(data_value(TavGetDataReference(label, r)));
    return values;
}

} // namespace

TEST(TavTransformLabelList, labels_mapped_to_one_value_merge_into_one_class_in_source_label_order) {
    SourceList source;
    Map map{[](TAVLABEL) { return TavCreateStringLabel("all"); }};
    TAV out = 0;
    ASSERT_EQ(TavTransformLabelList(source.list, &Map::call, &map, &out), 0);
    EXPECT_EQ(map.calls, 3);
    EXPECT_TRUE(map.all_released());
    EXPECT_EQ(ZtRefCount(out), 1);
    EXPECT_EQ(ZtRefCount(source.list), 1);
    EXPECT_EQ(TavGetDataType(out), source.dataType);
    EXPECT_EQ(label_texts(out), std::vector<std::string>{"all"});
    // Grouped by source label: a's item, b's two, c's.
    EXPECT_EQ(data_values(out), (std::vector<float>{2, 1, 3, 4}));
    EXPECT_EQ(label_texts(source.list), (std::vector<std::string>{"a", "b", "c"}));
    ZtRelease(out);
}

// The first failing call leaves the variable untouched; a later one releases
// the new list the variable already showed.
TEST(TavTransform, a_failing_callback_leaves_the_caller_without_a_list) {
    struct Case {
        bool labels;
        int failAt;
    } cases[] = {{true, 1}, {true, 2}, {true, 3}, {false, 4}};
    for (const Case& c : cases) {
        SourceList source;
        TAV out = 77, seen = 0;
        Map map{[&](ZTHANDLE d) -> ZTHANDLE {
            if (map.calls != c.failAt)
                return c.labels ? TavCreateStringLabel("x") : vector_data(data_value(d));
            seen = out;
            return 0;
        }};
        const char* name = c.labels ? "TavTransformLabelList" : "TavTransformDataList";
        ReportLog log;
        EXPECT_EQ((c.labels ? TavTransformLabelList : TavTransformDataList)(source.list, &Map::call, &map, &out),
                  TAV_E_FAILURE);
        EXPECT_EQ(log.take(), Reports({{TAV_E_FAILURE, "", name}})) << c.failAt;
        EXPECT_EQ(out, c.failAt == 1 ? 77u : 0u) << c.failAt;
        EXPECT_TRUE(map.all_released()) << c.failAt;
        EXPECT_TRUE(c.failAt == 1 || ZtRefCount(seen) == -1) << "the new list was not released";
        EXPECT_EQ(ZtRefCount(source.list), 1);
    }
}

TEST(TavTransform, refusals_before_a_list_exists_leave_the_variable_alone) {
    StringVectorList empty;
    SourceList source;
    Owned owned;
    const TAVDATA notAList = owned.hold(vector_data(1));
    Map toData{[](TAVLABEL) { return vector_data(1); }};
    Map any{[](TAVLABEL) { return TavCreateStringLabel("x"); }};
    TAV out = 77;
    auto labels = [&](const char* what, TAV list, TavLabelTransform callback, Map* map, int32_t code, TAV* result) {
        return fails(what, [=] { return TavTransformLabelList(list, callback, map, result); }, code,
                     "TavTransformLabelList");
    };
    auto data = [&](const char* what, TAV list, TavDataTransform callback, int32_t code) {
        return fails(what, [=, &out, &any] { return TavTransformDataList(list, callback, &any, &out); }, code,
                     "TavTransformDataList");
    };
    const int32_t invalid = TAV_E_INVALID_ARGUMENT;
    expect_calls({
        labels("null list", 0, &Map::call, &any, invalid, &out),
        labels("not a list", notAList, &Map::call, &any, invalid, &out),
        labels("no callback", source.list, nullptr, &any, invalid, &out),
        labels("empty", empty.list, &Map::call, &any, TAV_E_EMPTY_LIST, &out),
        // A result of another family gives no label type; it is released.
        labels("data as label", source.list, &Map::call, &toData, TAV_E_INCOMPATIBLE, &out),
        labels("null result", source.list, &Map::call, &any, invalid, nullptr),
        data("empty data", empty.list, &Map::call, TAV_E_EMPTY_LIST),
        data("no data callback", source.list, nullptr, invalid),
    });
    EXPECT_EQ(out, 77u);
    EXPECT_TRUE(toData.all_released());
}

TEST(TavTransformDataList, an_image_result_gives_an_image_type_with_the_window_on_the_whole_image) {
    SourceList source;
    for (int32_t planes : {1, 2}) {
        Map map{[planes](TAVDATA d) {
            const uint32_t types[] = {ZT_DT_U16, ZT_DT_U16};
            ZTIMAGE image = ZtImageCreatePlanes(5, 3, planes, types);
            ZtImageSetPixel(image, planes - 1, 4, 2, data_value(d));
            TAVDATA made = TavCreateImageData(image, 0, 0, 5, 3);
            ZtRelease(image);
            return made;
        }};
        TAV out = 0;
        ASSERT_EQ(TavTransformDataList(source.list, &Map::call, &map, &out), 0);
        EXPECT_EQ(image_type_of(TavGetDataType(out)),
                  std::vector<int64_t>({5, 3, planes, ZT_DT_U16, 0, 0, 5, 3, 0, 0}));
        ASSERT_EQ(TavGetNumDataEntries(out), 4);
        for (int32_t i = 0; i < 4; ++i)
            EXPECT_EQ(pixel(image_of(TavGetData(out, i)), 4, 2, planes - 1), data_value(TavGetData(source.list, i)));
        ZtRelease(out);
    }
}

TEST(TavChangeStringLabel, an_in_place_change_keeps_identity_references_and_flag_until_the_next_sort) {
    SourceList source; // a(2) b(1,3) c(4)
    TAVLABEL b = TavGetLabel(source.list, 1);
    TavSetExcludedFlag(b, 1);
    ASSERT_EQ(TavChangeStringLabel(source.list, 1, "z"), 0);
    EXPECT_EQ(TavGetLabel(source.list, 1), b);
    EXPECT_EQ(label_texts(source.list), (std::vector<std::string>{"a", "z", "c"}));
    EXPECT_EQ(values_of_label(source.list, 1), (std::vector<float>{1, 3}));
    EXPECT_EQ(data_values(source.list), (std::vector<float>{1, 2, 3, 4}));
    EXPECT_EQ(excluded_flags(source.list), (std::vector<int32_t>{0, 1, 0}));

    // Out of order, yet the label is still found and shared.
    ASSERT_EQ(source.add("z", 5), 0);
    EXPECT_EQ(TavGetNumLabelEntries(source.list), 3);
    // A new label sorts them all again.
    ASSERT_EQ(source.add("b", 6), 0);
    EXPECT_EQ(label_texts(source.list), (std::vector<std::string>{"a", "b", "c", "z"}));
    EXPECT_EQ(values_of_label(source.list, 3), (std::vector<float>{1, 3, 5}));
}

// A regression list of labels (1, 1), (2, 2), (3, 3) over data 10, 20, 30.
struct RegressionList : tav_test::TestList {
    RegressionList() : TestList(TavCreateDataTypeFloatVector(1), TavCreateLabelTypeFloatVector(2)) {
        for (float v : {1.f, 2.f, 3.f})
            EXPECT_EQ(add({v, v}, v * 10), 0);
    }
};

TEST(TavChangeLabel, refused_changes_report_in_order_and_leave_the_list_alone) {
    SourceList source;
    RegressionList regression;
    Owned owned;
    const TAVDATA notAList = owned.hold(vector_data(1));
    const TAV list = source.list, vectors = regression.list;
    const char *narrow = "tav_change_string_label", *vector = "TavChangeVectorLabel";
    const float one = 1, three[3] = {0, 0, 0};
    const int32_t invalid = TAV_E_INVALID_ARGUMENT, range = TAV_E_INDEX_OUT_OF_RANGE, incompatible = TAV_E_INCOMPATIBLE;
    const Reports noLabel = {report(invalid, "TavCreateStringLabel"), report(incompatible, narrow)};
    expect_calls({
        fails("null list", [&] { return TavChangeStringLabel(0, 0, "x"); }, invalid, narrow),
        fails("not a list", [&] { return TavChangeStringLabelW(notAList, 0, u"x"); }, invalid, narrow),
        fails("past the end", [&] { return TavChangeStringLabel(list, 3, "x"); }, range, narrow),
        fails("negative", [&] { return TavChangeStringLabelW(list, -1, u"x"); }, range, narrow),
        {"empty", [&] { return TavChangeStringLabel(list, 0, ""); }, incompatible, noLabel},
        {"null", [&] { return TavChangeStringLabel(list, 0, nullptr); }, incompatible, noLabel},
        {"null wide", [&] { return TavChangeStringLabelW(list, 0, nullptr); }, incompatible,
         {report(invalid, "TavCreateStringLabelW"), report(incompatible, narrow)}},
        // A vector label does not fit a string-typed list, nor one of another dimension.
        fails("vector label", [&] { return TavChangeVectorLabel(list, 0, &one, 1); }, incompatible, vector),
        fails("dimension", [&] { return TavChangeVectorLabel(vectors, 0, three, 3); }, incompatible, vector),
        {"null values", [&] { return TavChangeVectorLabel(vectors, 0, nullptr, 2); }, incompatible,
         {report(invalid, "TavCreateVectorLabel"), report(incompatible, vector)}},
        fails("string label", [&] { return TavChangeStringLabel(vectors, 0, "x"); }, incompatible, narrow),
    });
    EXPECT_EQ(label_texts(list), (std::vector<std::string>{"a", "b", "c"}));
    EXPECT_EQ(data_values(list), (std::vector<float>{1, 2, 3, 4}));
    EXPECT_EQ(data_values(vectors), (std::vector<float>{10, 20, 30}));
    EXPECT_EQ(TavGetNumLabelEntries(vectors), 3);
}

TEST(TavChangeVectorLabel, changes_in_place_or_merges_equal_labels) {
    RegressionList regression;
    const TAV list = regression.list;
    const float moved[2] = {9, 9}, onto[2] = {3, 3}, nan[2] = {NAN, 0};
    ReportLog log;
    TAVLABEL first = TavGetLabel(list, 0);
    ASSERT_EQ(TavChangeVectorLabel(list, 0, moved, 2), 0);
    float values[2] = {};
    uint64_t count = 2;
    TavGetFloatVectorLabel(first, values, &count);
    EXPECT_EQ(values[0], 9);
    EXPECT_EQ(TavGetLabel(list, 0), first);

    ASSERT_EQ(TavChangeVectorLabel(list, 1, onto, 2), 0); // label 2 merges into label 3
    EXPECT_EQ(TavGetNumLabelEntries(list), 2);
    EXPECT_EQ(data_values(list), (std::vector<float>{10, 30, 20}));
    // A value that equals nothing, not even itself, is changed in place too.
    ASSERT_EQ(TavChangeVectorLabel(list, 1, nan, 2), 0);
    EXPECT_EQ(TavGetNumLabelEntries(list), 2);
    EXPECT_EQ(log.take(), Reports{});
}

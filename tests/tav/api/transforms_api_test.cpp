#include <cmath>
#include <cstdint>
#include <functional>
#include <string>
#include <utility>
#include <vector>

#include <gtest/gtest.h>
#include <tav/tav.h>

#include "list_fixture.hpp"

using list_test::data_value;
using list_test::data_values;
using list_test::label_text;
using list_test::label_texts;
using list_test::ReportLog;
using list_test::reports;
using list_test::StringVectorList;

namespace {

constexpr int32_t kFailure = static_cast<int32_t>(0x80000001u);
constexpr int32_t kInvalid = static_cast<int32_t>(0x80000002u);
constexpr int32_t kEmpty = static_cast<int32_t>(0x80000016u);
constexpr int32_t kIncompatible = static_cast<int32_t>(0x8000001cu);
constexpr int32_t kOutOfRange = static_cast<int32_t>(0x80000030u);

// A callback driven by a std::function; counts its calls.
// Remembers every handle it handed over: the transform must release each.
template <class H>
struct Map {
    Map() = default;
    explicit Map(std::function<H(H)> m) : map(std::move(m)) {}
    std::function<H(H)> map; // 0: the callback fails
    int calls = 0;
    std::vector<ZTHANDLE> made;
    static int32_t call(void* context, H source, H* result) {
        auto* self = static_cast<Map*>(context);
        ++self->calls;
        *result = self->map(source);
        if (*result != 0)
            self->made.push_back(*result);
        return *result != 0;
    }
    bool all_released() const {
        for (ZTHANDLE h : made)
            if (ZtRefCount(h) != -1)
                return false;
        return true;
    }
};
using LabelMap = Map<TAVLABEL>;
using DataMap = Map<TAVDATA>;

TAVDATA vector_data(std::vector<float> values) { return TavCreateVectorData(values.data(), values.size()); }

// Labels b (values 1, 3), a (2), c (4): label order a, b, c.
struct SourceList : StringVectorList {
    SourceList() {
        add("b", 1);
        add("a", 2);
        add("b", 3);
        add("c", 4);
    }
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
    LabelMap map{[](TAVLABEL) { return TavCreateStringLabel("all"); }};
    TAV out = 0;
    ASSERT_EQ(TavTransformLabelList(source.list, &LabelMap::call, &map, &out), 0);
    EXPECT_EQ(map.calls, 3);
    EXPECT_TRUE(map.all_released());
    EXPECT_EQ(ZtRefCount(out), 1);
    EXPECT_EQ(ZtRefCount(source.list), 1);
    EXPECT_EQ(TavGetDataType(out), source.dataType);
    EXPECT_EQ(TavGetLabelTypeEnum(out), 0);
    EXPECT_EQ(label_texts(out), std::vector<std::string>{"all"});
    // Grouped by source label: a's item, b's two, c's.
    EXPECT_EQ(data_values(out), (std::vector<float>{2, 1, 3, 4}));
    EXPECT_EQ(label_texts(source.list), (std::vector<std::string>{"a", "b", "c"}));
    ZtRelease(out);
}

TEST(TavTransformLabelList, a_failing_callback_leaves_the_caller_without_a_list) {
    struct Case {
        int failAt; // call number that fails
        std::vector<ReportLog::Entry> expected;
        TAV outAfter;
    } cases[] = {
        // The first: nothing made, the variable untouched.
        {1, {{kFailure, "", "TavTransformLabelList"}}, 77},
        // A later one: the new list is released through the variable.
        {2, {{kFailure, "", "TavTransformLabelList"}}, 0},
        {3, {{kFailure, "", "TavTransformLabelList"}}, 0},
    };
    for (const Case& c : cases) {
        SourceList source;
        LabelMap map;
        TAV out = 77;
        TAV seen = 0; // the new list, as the caller's variable showed it meanwhile
        map.map = [&](TAVLABEL) -> TAVLABEL {
            if (map.calls != c.failAt)
                return TavCreateStringLabel("x");
            seen = out;
            return 0;
        };
        ReportLog log;
        EXPECT_EQ(TavTransformLabelList(source.list, &LabelMap::call, &map, &out), kFailure);
        EXPECT_EQ(log.take(), c.expected) << c.failAt;
        EXPECT_EQ(out, c.outAfter) << c.failAt;
        EXPECT_TRUE(map.all_released()) << c.failAt;
        if (c.failAt > 1) {
            EXPECT_EQ(ZtRefCount(seen), -1) << "the new list was not released";
        }
        EXPECT_EQ(ZtRefCount(source.list), 1);
    }
}

TEST(TavTransformLabelList, refusals_before_a_list_exists_leave_the_variable_alone) {
    StringVectorList empty;
    SourceList source;
    TAVDATA notALabel = vector_data({1});
    LabelMap toData{[](TAVLABEL) { return vector_data({1}); }};
    LabelMap any{[](TAVLABEL) { return TavCreateStringLabel("x"); }};
    struct Case {
        TAV list;
        TavLabelTransform callback;
        LabelMap* map;
        int32_t code;
    } cases[] = {
        {0, &LabelMap::call, &any, kInvalid},
        {notALabel, &LabelMap::call, &any, kInvalid},
        {source.list, nullptr, &any, kInvalid},
        {empty.list, &LabelMap::call, &any, kEmpty},
        // A result of another family gives no label type; it is released.
        {source.list, &LabelMap::call, &toData, kIncompatible},
    };
    for (const Case& c : cases) {
        ReportLog log;
        TAV out = 77;
        EXPECT_EQ(TavTransformLabelList(c.list, c.callback, c.map, &out), c.code);
        EXPECT_EQ(log.take(), reports({{c.code, "", "TavTransformLabelList"}}));
        EXPECT_EQ(out, 77u);
    }
    EXPECT_TRUE(toData.all_released());
    EXPECT_EQ(TavTransformLabelList(source.list, &LabelMap::call, &any, nullptr), kInvalid);
    ZtRelease(notALabel);
}

TEST(TavTransformDataList, a_failing_callback_at_a_later_item_releases_the_new_list) {
    SourceList source;
    DataMap map;
    TAV out = 77;
    TAV seen = 0;
    map.map = [&](TAVDATA d) -> TAVDATA {
        if (map.calls < 4)
            return vector_data({data_value(d)});
        seen = out;
        return 0;
    };
    ReportLog log;
    EXPECT_EQ(TavTransformDataList(source.list, &DataMap::call, &map, &out), kFailure);
    EXPECT_EQ(log.take(), reports({{kFailure, "", "TavTransformDataList"}}));
    EXPECT_EQ(out, 0u);
    EXPECT_EQ(ZtRefCount(seen), -1);
    EXPECT_TRUE(map.all_released());

    StringVectorList empty;
    EXPECT_EQ(TavTransformDataList(empty.list, &DataMap::call, &map, &out), kEmpty);
    EXPECT_EQ(log.take(), reports({{kEmpty, "", "TavTransformDataList"}}));
}

// --- label changes ---------------------------------------------------------

TEST(TavTransformDataList, an_image_result_gives_an_image_type_with_the_window_on_the_whole_image) {
    SourceList source;
    DataMap map{[](TAVDATA d) {
        const uint32_t types[] = {ZT_DT_U16, ZT_DT_U16};
        ZTIMAGE image = ZtImageCreatePlanes(5, 3, 2, types);
        ZtImageSetPixel(image, 1, 4, 2, data_value(d));
        TAVDATA made = TavCreateImageData(image, 0, 0, 5, 3);
        ZtRelease(image);
        return made;
    }};
    TAV out = 0;
    ASSERT_EQ(TavTransformDataList(source.list, &DataMap::call, &map, &out), 0);
    int32_t w = 0, h = 0, planes = 0, left = -1, top = -1, ww = 0, wh = 0, ox = -1, oy = -1;
    uint32_t pixel = 0;
    ASSERT_EQ(TavGetImageDataGeometry(TavGetDataType(out), &w, &h, &planes, &pixel), 0);
    ASSERT_EQ(TavGetFeatureWindow(TavGetDataType(out), &left, &top, &ww, &wh, &ox, &oy), 0);
    EXPECT_EQ(std::vector<int64_t>({w, h, planes, pixel, left, top, ww, wh, ox, oy}),
              std::vector<int64_t>({5, 3, 2, ZT_DT_U16, 0, 0, 5, 3, 0, 0}));
    ASSERT_EQ(TavGetNumDataEntries(out), 4);
    for (int32_t i = 0; i < 4; ++i) {
        ZTIMAGE image = 0;
        ASSERT_EQ(TavGetImageData(TavGetData(out, i), &image), 0);
        double value = 0;
        ZtImageGetPixel(image, 1, 4, 2, &value);
        EXPECT_EQ(value, data_value(TavGetData(source.list, i)));
    }
    ZtRelease(out);
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
    int32_t flag = 0;
    TavGetExcludedFlag(b, &flag);
    EXPECT_EQ(flag, 1);

    // Out of order, yet every label is still found and shared.
    for (const char* text : {"a", "z", "c"}) {
        TAVLABEL probe = TavCreateStringLabel(text);
        EXPECT_EQ(label_text(TavGetLabel(source.list, TavGetLabelIndex(source.list, probe))), text);
        ZtRelease(probe);
    }
    ASSERT_EQ(source.add("z", 5), 0);
    EXPECT_EQ(TavGetNumLabelEntries(source.list), 3);
    // A new label sorts them all again.
    ASSERT_EQ(source.add("b", 6), 0);
    EXPECT_EQ(label_texts(source.list), (std::vector<std::string>{"a", "b", "c", "z"}));
    EXPECT_EQ(values_of_label(source.list, 3), (std::vector<float>{1, 3, 5}));
}

TEST(TavChangeStringLabel, refused_changes_report_in_order_and_leave_the_list_alone) {
    SourceList source;
    TAVDATA notAList = vector_data({1});
    const std::string narrow = "tav_change_string_label";
    struct Case {
        std::function<int32_t()> change;
        std::vector<ReportLog::Entry> expected;
    } cases[] = {
        {[&] { return TavChangeStringLabel(0, 0, "x"); }, {{kInvalid, "", narrow}}},
        {[&] { return TavChangeStringLabelW(notAList, 0, u"x"); }, {{kInvalid, "", narrow}}},
        {[&] { return TavChangeStringLabel(source.list, 3, "x"); }, {{kOutOfRange, "", narrow}}},
        {[&] { return TavChangeStringLabelW(source.list, -1, u"x"); }, {{kOutOfRange, "", narrow}}},
        {[&] { return TavChangeStringLabel(source.list, 0, ""); },
         {{kInvalid, "", "TavCreateStringLabel"}, {kIncompatible, "", narrow}}},
        {[&] { return TavChangeStringLabel(source.list, 0, nullptr); },
         {{kInvalid, "", "TavCreateStringLabel"}, {kIncompatible, "", narrow}}},
        {[&] { return TavChangeStringLabelW(source.list, 0, nullptr); },
         {{kInvalid, "", "TavCreateStringLabelW"}, {kIncompatible, "", narrow}}},
        // A vector label does not fit a string-typed list.
        {[&] { return TavChangeVectorLabel(source.list, 0, std::vector<float>{1}.data(), 1); },
         {{kIncompatible, "", "TavChangeVectorLabel"}}},
    };
    for (std::size_t i = 0; i < std::size(cases); ++i) {
        ReportLog log;
        EXPECT_EQ(cases[i].change(), cases[i].expected.back().code) << i;
        EXPECT_EQ(log.take(), cases[i].expected) << i;
        EXPECT_EQ(label_texts(source.list), (std::vector<std::string>{"a", "b", "c"})) << i;
        EXPECT_EQ(data_values(source.list), (std::vector<float>{1, 2, 3, 4})) << i;
    }
    ZtRelease(notAList);
}

TEST(TavChangeVectorLabel, changes_in_place_or_merges_and_refuses_another_dimension) {
    TAVLABELTYPE lt = TavCreateLabelTypeFloatVector(2);
    TAVDATATYPE dt = TavCreateDataTypeFloatVector(1);
    TAV list = TavCreate(lt, dt);
    for (float v : {1.f, 2.f, 3.f}) {
        float d = v * 10, l[2] = {v, v};
        ASSERT_EQ(TavAddRegressionVectorItem(list, l, 2, &d, 1), 0);
    }
    const float three[3] = {0, 0, 0}, moved[2] = {9, 9}, onto[2] = {3, 3}, nan[2] = {NAN, 0};
    ReportLog log;
    EXPECT_EQ(TavChangeVectorLabel(list, 0, three, 3), kIncompatible);
    EXPECT_EQ(log.take(), reports({{kIncompatible, "", "TavChangeVectorLabel"}}));
    EXPECT_EQ(TavChangeVectorLabel(list, 0, nullptr, 2), kIncompatible);
    EXPECT_EQ(log.take(), reports({{kInvalid, "", "TavCreateVectorLabel"}, {kIncompatible, "", "TavChangeVectorLabel"}}));

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
    EXPECT_EQ(log.take(), reports({}));
    for (ZTHANDLE h : {list, lt, dt})
        ZtRelease(h);
}

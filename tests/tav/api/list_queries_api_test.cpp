#include <tuple>

#include "list_fixture.hpp"

using namespace list_test;

TEST(ListComment, setter_failures_keep_the_old_comment) {
    StringVectorList l;
    ASSERT_EQ(TavSetCommentW(l.list, u"kept"), 0);
    const int32_t invalid = TAV_E_INVALID_ARGUMENT;
    const char* native = "TavSetComment_native";
    expect_calls({
        fails("empty", [&] { return TavSetComment(l.list, ""); }, invalid, native),
        fails("empty wide", [&] { return TavSetCommentW(l.list, u""); }, invalid, native),
        fails("null", [&] { return TavSetComment(l.list, nullptr); }, invalid, "TavSetComment"),
        fails("null wide", [&] { return TavSetCommentW(l.list, nullptr); }, invalid, "TavSetCommentW"),
        fails("null list", [&] { return TavSetComment(0, "x"); }, invalid, native),
        fails("not a list", [&] { return TavSetCommentW(l.dataType, u"x"); }, invalid, native),
        fails("get null list", [&] { return TavGetComment(0, nullptr, nullptr); }, invalid, "TavGetComment"),
        fails("get null size", [&] { return TavGetCommentW(l.list, nullptr, nullptr); }, invalid, "TavGetCommentW"),
    });
    EXPECT_EQ(wide_comment(l.list), u"kept");
}

TEST(ListMask, mask_data_must_fit_and_is_held_itself) {
    StringVectorList l;
    const float two[] = {1, 2};
    Owned owned;
    const TAVDATA fits = owned.hold(TavCreateVectorData(two, 1)), tooLong = owned.hold(TavCreateVectorData(two, 2));
    // Vector data never fits an image-typed list.
    const TAV images = owned.hold(TavCreate(owned.hold(TavCreateLabelTypeString()),
                                            owned.hold(TavCreateDataTypeImageEx(4, 4, 1, ZT_DT_U8, 0, 0))));
    expect_calls({
        fails("too long", [&] { return TavSetMaskData(l.list, tooLong); }, TAV_E_INCOMPATIBLE, "TavSetMaskData"),
        fails("image list", [&] { return TavSetMaskData(images, fits); }, TAV_E_INCOMPATIBLE, "TavSetMaskData"),
        fails("null", [&] { return TavSetMaskData(l.list, 0); }, TAV_E_INVALID_ARGUMENT, "TavSetMaskData"),
    });
    EXPECT_EQ(TavGetMaskData(l.list), 0u);
    EXPECT_EQ(ZtRefCount(fits), 1);
    ASSERT_EQ(TavSetMaskData(l.list, fits), 0);
    EXPECT_EQ(TavGetMaskData(l.list), fits);
    ASSERT_EQ(TavSetMaskData(l.list, fits), 0);
    EXPECT_EQ(ZtRefCount(fits), 2);
}

TEST(ListQueries, items_by_index_and_by_label) {
    StringVectorList l;
    for (auto [text, value] : std::vector<std::pair<const char*, float>>{{"b", 0}, {"a", 1}, {"b", 2}})
        ASSERT_EQ(l.add(text, value), 0);
    TAVLABEL b = TavGetLabel(l.list, 1);
    EXPECT_EQ(TavGetNumDataReferences(b), 2);
    EXPECT_EQ(TavGetNumDataReferencesByLabel(l.list, 1), 2);
    EXPECT_EQ(TavGetDataReference(b, 1), TavGetData(l.list, 2));
    EXPECT_EQ(TavGetDataByLabel(l.list, 1, 0), TavGetData(l.list, 0));
    EXPECT_EQ(TavGetLabelReference(TavGetData(l.list, 2), 0), b);
    EXPECT_EQ(TavGetNumLabelReferences(TavGetData(l.list, 1)), 1);

    const int32_t range = TAV_E_INDEX_OUT_OF_RANGE, invalid = TAV_E_INVALID_ARGUMENT;
    auto handle = [](ZTHANDLE h) { return static_cast<int64_t>(h); };
    const char *count = "TavGetNumDataReferencesByLabel", *byLabel = "TavGetDataByLabel";
    expect_calls({
        // The plain getters give 0 past either end without a report.
        {"past the ends", [&] {
             return handle(TavGetData(l.list, -1) | TavGetData(l.list, 3) | TavGetLabel(l.list, 2) |
                           TavGetDataReference(b, 2) | TavGetDataReference(b, -1));
         },
         0, {}},
        {"count of label 2", [&] { return TavGetNumDataReferencesByLabel(l.list, 2); }, -1,
         refusal(range, count, "invalid label index")},
        {"count in null list", [&] { return TavGetNumDataReferencesByLabel(0, 0); }, -1,
         {report(invalid, "TavGetNumLabelEntries"), report(range, count, "invalid label index")}},
        // A negative label index passes the first test; the inner calls report.
        {"count of label -1", [&] { return TavGetNumDataReferencesByLabel(l.list, -1); }, -1,
         refusal(invalid, "TavGetNumDataReferences")},
        {"data of label 2", [&] { return handle(TavGetDataByLabel(l.list, 2, 0)); }, 0,
         refusal(range, byLabel, "Invalid label index")},
        {"data 1 of label 0", [&] { return handle(TavGetDataByLabel(l.list, 0, 1)); }, 0,
         refusal(range, byLabel, "Invalid label data index")},
        {"data -2 of label -1", [&] { return handle(TavGetDataByLabel(l.list, -1, -2)); }, 0,
         {report(invalid, "TavGetNumDataReferences"), report(invalid, "TavGetDataReference")}},
        {"label reference 1", [&] { return handle(TavGetLabelReference(TavGetData(l.list, 0), 1)); }, 0,
         refusal(range, "TavGetLabelReference")},
        {"label references of a label", [&] { return TavGetNumLabelReferences(b); }, -1,
         refusal(invalid, "TavGetNumLabelReferences")},
        {"data entries of a label", [&] { return TavGetNumDataEntries(b); }, -1, refusal(invalid, "TavGetNumDataEntries")},
    });
}

TEST(ListQueries, statistics_of_items_per_label) {
    StringVectorList l;
    int64_t count = 7, low = 7, high = 7;
    double mean = 7;
    auto statistics = [&] { return std::make_tuple(count, low, high, mean); };
    ASSERT_EQ(TavGetStatistics(l.list, &count, &low, &high, &mean), 0);
    EXPECT_EQ(statistics(), std::make_tuple(int64_t{0}, int64_t{0}, int64_t{0}, 0.0));
    for (const char* text : {"a", "b", "b", "b", "c", "c"})
        ASSERT_EQ(l.add(text, 0), 0);
    ASSERT_EQ(TavGetStatistics(l.list, &count, &low, &high, &mean), 0);
    EXPECT_EQ(statistics(), std::make_tuple(int64_t{3}, int64_t{1}, int64_t{3}, 2.0));

    count = low = high = 9;
    expect_calls({fails("null list", [&] { return TavGetStatistics(0, &count, &low, &high, &mean); },
                        TAV_E_INVALID_ARGUMENT, "TavGetStatistics")});
    EXPECT_EQ(statistics(), std::make_tuple(int64_t{9}, int64_t{9}, int64_t{9}, 2.0));
}

#include <cstdint>
#include <string>
#include <tuple>
#include <vector>

#include <gtest/gtest.h>
#include <tav/tav.h>

#include "list_fixture.hpp"

using namespace list_test;

TEST(ListComment, setter_failures_keep_the_old_comment) {
    StringVectorList l;
    ASSERT_EQ(TavSetCommentW(l.list, u"kept"), 0);
    const int32_t invalid = TAV_E_INVALID_ARGUMENT;
    const Reports native = refusal(invalid, "TavSetComment_native");
    expect_calls({
        {"empty", [&] { return TavSetComment(l.list, ""); }, invalid, native},
        {"empty wide", [&] { return TavSetCommentW(l.list, u""); }, invalid, native},
        {"null", [&] { return TavSetComment(l.list, nullptr); }, invalid, refusal(invalid, "TavSetComment")},
        {"null wide", [&] { return TavSetCommentW(l.list, nullptr); }, invalid, refusal(invalid, "TavSetCommentW")},
        {"null list", [&] { return TavSetComment(0, "x"); }, invalid, native},
        {"not a list", [&] { return TavSetCommentW(l.dataType, u"x"); }, invalid, native},
        {"get null list", [&] { return TavGetComment(0, nullptr, nullptr); }, invalid,
         refusal(invalid, "TavGetComment")},
        {"get null size", [&] { return TavGetCommentW(l.list, nullptr, nullptr); }, invalid,
         refusal(invalid, "TavGetCommentW")},
    });
    EXPECT_EQ(wide_comment(l.list), u"kept");
}

TEST(ListMask, mask_data_must_fit_and_is_held_itself) {
    StringVectorList l;
    const float two[] = {1, 2};
    Owned owned{{TavCreateVectorData(two, 1), TavCreateVectorData(two, 2)}};
    const TAVDATA fits = owned.handles[0], tooLong = owned.handles[1];
    EXPECT_EQ(TavGetMaskData(l.list), 0u);
    expect_calls({
        {"too long", [&] { return TavSetMaskData(l.list, tooLong); }, TAV_E_INCOMPATIBLE,
         refusal(TAV_E_INCOMPATIBLE, "TavSetMaskData")},
        {"null", [&] { return TavSetMaskData(l.list, 0); }, TAV_E_INVALID_ARGUMENT,
         refusal(TAV_E_INVALID_ARGUMENT, "TavSetMaskData")},
    });
    EXPECT_EQ(TavGetMaskData(l.list), 0u);
    ASSERT_EQ(TavSetMaskData(l.list, fits), 0);
    EXPECT_EQ(TavGetMaskData(l.list), fits);
    EXPECT_EQ(ZtRefCount(fits), 2);
    ASSERT_EQ(TavSetMaskData(l.list, fits), 0);
    EXPECT_EQ(ZtRefCount(fits), 2);

    // Vector data never fits an image-typed list.
    Owned images{{TavCreateLabelTypeString(), TavCreateDataTypeImageEx(4, 4, 1, ZT_DT_U8, 0, 0)}};
    images.handles.push_back(TavCreate(images.handles[0], images.handles[1]));
    EXPECT_EQ(TavSetMaskData(images.handles[2], fits), TAV_E_INCOMPATIBLE);
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
    expect_calls({
        // The plain getters give 0 past either end without a report.
        {"past the ends", [&] {
             return handle(TavGetData(l.list, -1) | TavGetData(l.list, 3) | TavGetLabel(l.list, 2) |
                           TavGetDataReference(b, 2) | TavGetDataReference(b, -1));
         },
         0, {}},
        {"count of label 2", [&] { return TavGetNumDataReferencesByLabel(l.list, 2); }, -1,
         {{range, "invalid label index", "TavGetNumDataReferencesByLabel"}}},
        {"count in null list", [&] { return TavGetNumDataReferencesByLabel(0, 0); }, -1,
         {{invalid, "", "TavGetNumLabelEntries"}, {range, "invalid label index", "TavGetNumDataReferencesByLabel"}}},
        // A negative label index passes the first test; the inner calls report.
        {"count of label -1", [&] { return TavGetNumDataReferencesByLabel(l.list, -1); }, -1,
         refusal(invalid, "TavGetNumDataReferences")},
        {"data of label 2", [&] { return handle(TavGetDataByLabel(l.list, 2, 0)); }, 0,
         {{range, "Invalid label index", "TavGetDataByLabel"}}},
        {"data 1 of label 0", [&] { return handle(TavGetDataByLabel(l.list, 0, 1)); }, 0,
         {{range, "Invalid label data index", "TavGetDataByLabel"}}},
        {"data -2 of label -1", [&] { return handle(TavGetDataByLabel(l.list, -1, -2)); }, 0,
         {{invalid, "", "TavGetNumDataReferences"}, {invalid, "", "TavGetDataReference"}}},
        {"label reference 1", [&] { return handle(TavGetLabelReference(TavGetData(l.list, 0), 1)); }, 0,
         refusal(range, "TavGetLabelReference")},
        {"label references of a label", [&] { return TavGetNumLabelReferences(b); }, -1,
         refusal(invalid, "TavGetNumLabelReferences")},
        {"data entries of a label", [&] { return TavGetNumDataEntries(b); }, -1,
         refusal(invalid, "TavGetNumDataEntries")},
    });
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
    expect_calls({{"null list", [&] { return TavGetStatistics(0, &count, &low, &high, &mean); },
                   TAV_E_INVALID_ARGUMENT, refusal(TAV_E_INVALID_ARGUMENT, "TavGetStatistics")}});
    EXPECT_EQ(std::make_tuple(count, low, high), std::make_tuple(int64_t{9}, int64_t{9}, int64_t{9}));
}

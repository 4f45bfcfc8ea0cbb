#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include <gtest/gtest.h>
#include <tav/tav.h>

#include "list_fixture.hpp"

using list_test::label_texts;
using list_test::ReportLog;
using list_test::reports;
using list_test::StringVectorList;

namespace {

constexpr int32_t kFailure = static_cast<int32_t>(0x80000001u);
constexpr int32_t kInvalid = static_cast<int32_t>(0x80000002u);
constexpr int32_t kInvalidValue = static_cast<int32_t>(0x8000001au);
constexpr int32_t kIncompatible = static_cast<int32_t>(0x8000001cu);
constexpr const char* kWindowOutside =
    "The input values lead to a feature window which is located partly outside the image";

// A list of string labels over 32 x 32 one-plane images with origin (16, 16),
// and a 64 x 64 image whose pixel (x, y) is x + y.
struct ImageList {
    TAVLABELTYPE labelType = TavCreateLabelTypeString();
    TAVDATATYPE dataType = TavCreateDataTypeImageEx(32, 32, 1, ZT_DT_U8, 16, 16);
    TAV list = TavCreate(labelType, dataType);
    ZTIMAGE image = ZtImageCreate(64, 64, 1, ZT_DT_U8);

    ImageList() {
        for (int32_t y = 0; y < 64; ++y)
            for (int32_t x = 0; x < 64; ++x)
                ZtImageSetPixel(image, 0, x, y, x + y);
    }
    ~ImageList() {
        for (ZTHANDLE h : {list, labelType, dataType, image})
            ZtRelease(h);
    }
};

double pixel_of_item(TAV list, int32_t index, int32_t x, int32_t y) {
    ZTIMAGE image = 0;
    double value = -1;
    if (TavGetImageData(TavGetData(list, index), &image) == 0)
        ZtImageGetPixel(image, 0, x, y, &value);
    return value;
}

const float kLabel[2] = {1, 2};
const float kValue[1] = {5};

} // namespace

TEST(TavAddNamedImageItem, cuts_the_full_geometry_at_the_point_or_around_the_origin) {
    ImageList l;
    ASSERT_EQ(TavAddNamedImageItem(l.list, "a", l.image, 0, 0), 0);
    ASSERT_EQ(TavAddNamedImageItemW(l.list, u"a", l.image, 10, 20), 0);
    ASSERT_EQ(TavAddNamedImageItemEx(l.list, "a", l.image, 16, 16), 0);
    ASSERT_EQ(TavGetNumDataEntries(l.list), 3);
    EXPECT_EQ(TavGetNumLabelEntries(l.list), 1);
    ZTIMAGE first = 0;
    TavGetImageData(TavGetData(l.list, 0), &first);
    EXPECT_EQ(ZtImageWidth(first), 32);
    EXPECT_EQ(ZtImageHeight(first), 32);
    EXPECT_EQ(pixel_of_item(l.list, 1, 0, 0), 30);
    EXPECT_EQ(pixel_of_item(l.list, 1, 31, 31), 92);
    // The Ex item equals the item at (0, 0).
    EXPECT_EQ(TavCompareData(TavGetData(l.list, 0), TavGetData(l.list, 2)), 0);

    // Only the origin is subtracted, not the window's own corner.
    ASSERT_EQ(TavSetFeatureWindow(l.dataType, 8, 8, 16, 16, 4, 2), 0);
    ASSERT_EQ(TavAddNamedImageItemEx(l.list, "b", l.image, 14, 12), 0);
    EXPECT_EQ(pixel_of_item(l.list, 3, 0, 0), 10 + 10);
    EXPECT_EQ(ZtRefCount(l.list), 1);
    EXPECT_EQ(ZtRefCount(l.image), 1);
}

// Every adder, each failure path, with the reports in the order made. None
// changes the list or the reference counts of the caller's handles.
TEST(Adders, failures_report_in_order_and_change_nothing) {
    ImageList images;
    StringVectorList vectors;
    TAVLABEL notAList = TavCreateStringLabel("n");
    TAV released = TavCreate(vectors.labelType, vectors.dataType);
    ZtRelease(released);
    const std::string outside = kWindowOutside;
    using Entries = std::vector<ReportLog::Entry>;
    const Entries dataFailed = {{kFailure, "tav data creation failed", ""}};
    struct Case {
        const char* name;
        std::function<int32_t()> add;
        Entries expected; // "" as function: the adder's own name
    } cases[] = {
        // The list handle.
        {"TavAddNamedImageItem", [&] { return TavAddNamedImageItem(0, "a", images.image, 0, 0); },
         {{kInvalid, "invalid TAV handle", ""}}},
        {"TavAddNamedImageItemW", [&] { return TavAddNamedImageItemW(released, u"a", images.image, 0, 0); },
         {{kInvalid, "invalid TAV handle", ""}}},
        {"TavAddNamedVectorItem", [&] { return TavAddNamedVectorItem(notAList, "a", kValue, 1); },
         {{kInvalid, "invalid TAV handle", ""}}},
        {"TavAddNamedVectorItemW", [&] { return TavAddNamedVectorItemW(0, u"a", kValue, 1); },
         {{kInvalid, "invalid TAV handle", ""}}},
        {"TavAddRegressionImageItem", [&] { return TavAddRegressionImageItem(0, kLabel, 2, images.image, 0, 0); },
         {{kInvalid, "invalid TAV handle", ""}}},
        {"TavAddRegressionVectorItem", [&] { return TavAddRegressionVectorItem(0, kLabel, 2, kValue, 1); },
         {{kInvalid, "invalid TAV handle", ""}}},
        // The Ex adders read the type through the getter first.
        {"TavAddNamedImageItemEx", [&] { return TavAddNamedImageItemEx(0, "a", images.image, 0, 0); },
         {{kInvalid, "", "TavGetDataType"}, {kInvalid, "", "TavGetFeatureWindow"}}},
        {"TavAddRegressionImageItemEx", [&] { return TavAddRegressionImageItemEx(0, kLabel, 2, images.image, 0, 0); },
         {{kInvalid, "", "TavGetDataType"}, {kInvalid, "", "TavGetFeatureWindow"}}},
        // A vector-typed list.
        {"TavAddNamedImageItem", [&] { return TavAddNamedImageItem(vectors.list, "a", images.image, 0, 0); },
         {{kIncompatible, "", "TavGetImageDataGeometry"}}},
        {"TavAddRegressionImageItem",
         [&] { return TavAddRegressionImageItem(vectors.list, kLabel, 2, images.image, 0, 0); },
         {{kIncompatible, "", "TavGetImageDataGeometry"}}},
        {"TavAddNamedImageItemEx", [&] { return TavAddNamedImageItemEx(vectors.list, "a", images.image, 0, 0); },
         {{kInvalid, "", "TavGetFeatureWindow"}}},
        // The data cannot be made.
        {"TavAddNamedImageItem", [&] { return TavAddNamedImageItem(images.list, "a", images.image, 40, 0); },
         {{kInvalidValue, outside, "TavCreateImageData"}, dataFailed[0]}},
        {"TavAddNamedImageItem", [&] { return TavAddNamedImageItemEx(images.list, "a", images.image, 0, 0); },
         {{kInvalidValue, outside, "TavCreateImageData"}, dataFailed[0]}},
        {"TavAddNamedImageItemW", [&] { return TavAddNamedImageItemW(images.list, u"a", notAList, 0, 0); },
         {{static_cast<int32_t>(0x80000010u), "", "TavCreateImageData"}, dataFailed[0]}},
        {"TavAddNamedVectorItem", [&] { return TavAddNamedVectorItem(vectors.list, "a", nullptr, 1); },
         {{kInvalid, "", "TavCreateVectorData"}, dataFailed[0]}},
        {"TavAddRegressionVectorItem", [&] { return TavAddRegressionVectorItem(vectors.list, kLabel, 2, kValue, 0); },
         {{kInvalid, "", "TavCreateVectorData"}, dataFailed[0]}},
        // The label cannot be made.
        {"TavAddNamedVectorItem", [&] { return TavAddNamedVectorItem(vectors.list, nullptr, kValue, 1); },
         {{kInvalid, "", "TavCreateStringLabel"}, {kFailure, "label creation failed", ""}}},
        {"TavAddNamedImageItemW", [&] { return TavAddNamedImageItemW(images.list, u"", images.image, 0, 0); },
         {{kInvalid, "", "TavCreateStringLabelW"}, {kFailure, "label creation failed", ""}}},
        {"TavAddRegressionVectorItem", [&] { return TavAddRegressionVectorItem(vectors.list, kLabel, 0, kValue, 1); },
         {{kInvalid, "", "TavCreateVectorLabel"}, {kFailure, "label creation failed", ""}}},
        // The item does not fit.
        {"TavAddRegressionVectorItem", [&] { return TavAddRegressionVectorItem(vectors.list, kLabel, 2, kValue, 1); },
         {{kIncompatible, "", "TavAddItem"}}},
        {"TavAddNamedVectorItem", [&] { return TavAddNamedVectorItem(vectors.list, "a", kLabel, 2); },
         {{kIncompatible, "", "TavAddItem"}}},
        {"TavAddRegressionImageItem", [&] { return TavAddRegressionImageItem(images.list, kLabel, 2, images.image, 0, 0); },
         {{kIncompatible, "", "TavAddItem"}}},
    };
    for (Case& c : cases) {
        for (auto& e : c.expected)
            if (e.function.empty())
                e.function = c.name;
        ReportLog log;
        EXPECT_EQ(c.add(), c.expected.back().code) << c.name;
        EXPECT_EQ(log.take(), c.expected) << c.name;
        EXPECT_EQ(TavGetNumDataEntries(images.list), 0) << c.name;
        EXPECT_EQ(TavGetNumDataEntries(vectors.list), 0) << c.name;
        EXPECT_EQ(ZtRefCount(images.list), 1) << c.name;
        EXPECT_EQ(ZtRefCount(vectors.list), 1) << c.name;
        EXPECT_EQ(ZtRefCount(images.image), 1) << c.name;
    }
    ZtRelease(notAList);
}

#include "list_fixture.hpp"

using namespace list_test;

namespace {

// A list of string labels over 32 x 32 one-plane images with origin (16, 16),
// and a 64 x 64 image whose pixel (x, y) is x + y.
struct ImageList : tav_test::TestList {
    ZTIMAGE image = owned.hold(ZtImageCreate(64, 64, 1, ZT_DT_U8));

    ImageList() : TestList(TavCreateDataTypeImageEx(32, 32, 1, ZT_DT_U8, 16, 16)) {
        for (int32_t y = 0; y < 64; ++y)
            for (int32_t x = 0; x < 64; ++x)
                ZtImageSetPixel(image, 0, x, y, x + y);
    }
};

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
    const ZTIMAGE first = image_of(TavGetData(l.list, 0));
    EXPECT_EQ(std::make_pair(ZtImageWidth(first), ZtImageHeight(first)), std::make_pair(32, 32));
    EXPECT_EQ(pixel(image_of(TavGetData(l.list, 1)), 0, 0), 30);
    EXPECT_EQ(pixel(image_of(TavGetData(l.list, 1)), 31, 31), 92);
    // The Ex item equals the item at (0, 0).
    EXPECT_EQ(TavCompareData(TavGetData(l.list, 0), TavGetData(l.list, 2)), 0);

    // Only the origin is subtracted, not the window's own corner.
    ASSERT_EQ(TavSetFeatureWindow(l.dataType, 8, 8, 16, 16, 4, 2), 0);
    ASSERT_EQ(TavAddNamedImageItemEx(l.list, "b", l.image, 14, 12), 0);
    EXPECT_EQ(pixel(image_of(TavGetData(l.list, 3)), 0, 0), 10 + 10);
    EXPECT_EQ(ZtRefCount(l.list), 1);
    EXPECT_EQ(ZtRefCount(l.image), 1);
}

// Every adder, each failure path, with the reports in the order made. None
// changes the list or the reference counts of the caller's handles.
TEST(Adders, failures_report_in_order_and_change_nothing) {
    ImageList images;
    StringVectorList vectors;
    Owned owned;
    const TAVLABEL notAList = owned.hold(TavCreateStringLabel("n"));
    const TAV released = TavCreate(vectors.labelType, vectors.dataType);
    ZtRelease(released);
    const ZTIMAGE image = images.image;
    const TAV iList = images.list, vList = vectors.list;
    const int32_t invalid = TAV_E_INVALID_ARGUMENT, incompatible = TAV_E_INCOMPATIBLE;
    const ReportLog::Entry badList{invalid, "invalid TAV handle", ""}, noData{TAV_E_FAILURE, "tav data creation failed", ""},
        noLabel{TAV_E_FAILURE, "label creation failed", ""};
    const Reports exNoList = {report(invalid, "TavGetDataType"), report(invalid, "TavGetFeatureWindow")},
                  noGeometry = refusal(incompatible, "TavGetImageDataGeometry"), noFit = refusal(incompatible, "TavAddItem"),
                  outside = {report(TAV_E_INVALID_VALUE, "TavCreateImageData", kOutside), noData};
    auto inner = [](int32_t code, const char* function, ReportLog::Entry then) {
        return Reports{report(code, function), then};
    };
    struct Case {
        const char* name; // the adder's name, filled in where a report's function is ""
        std::function<int32_t()> add;
        Reports expected;
    } cases[] = {
        // The list handle: null, released or of another family, for image and vector adders.
        {"TavAddNamedImageItemW", [&] { return TavAddNamedImageItemW(released, u"a", image, 0, 0); }, {badList}},
        {"TavAddNamedVectorItem", [&] { return TavAddNamedVectorItem(notAList, "a", kValue, 1); }, {badList}},
        {"TavAddNamedVectorItemW", [&] { return TavAddNamedVectorItemW(0, u"a", kValue, 1); }, {badList}},
        // The Ex adders read the type through the getter first.
        {"TavAddNamedImageItemEx", [&] { return TavAddNamedImageItemEx(0, "a", image, 0, 0); }, exNoList},
        {"TavAddRegressionImageItemEx", [&] { return TavAddRegressionImageItemEx(0, kLabel, 2, image, 0, 0); }, exNoList},
        // A vector-typed list.
        {"TavAddNamedImageItem", [&] { return TavAddNamedImageItem(vList, "a", image, 0, 0); }, noGeometry},
        {"TavAddRegressionImageItem", [&] { return TavAddRegressionImageItem(vList, kLabel, 2, image, 0, 0); }, noGeometry},
        {"TavAddNamedImageItemEx", [&] { return TavAddNamedImageItemEx(vList, "a", image, 0, 0); },
         refusal(invalid, "TavGetFeatureWindow")},
        // The data cannot be made.
        {"TavAddNamedImageItem", [&] { return TavAddNamedImageItem(iList, "a", image, 40, 0); }, outside},
        {"TavAddNamedImageItem", [&] { return TavAddNamedImageItemEx(iList, "a", image, 0, 0); }, outside},
        {"TavAddNamedImageItemW", [&] { return TavAddNamedImageItemW(iList, u"a", notAList, 0, 0); },
         inner(TAV_E_INVALID_IMAGE, "TavCreateImageData", noData)},
        {"TavAddNamedVectorItem", [&] { return TavAddNamedVectorItem(vList, "a", nullptr, 1); },
         inner(invalid, "TavCreateVectorData", noData)},
        {"TavAddRegressionVectorItem", [&] { return TavAddRegressionVectorItem(vList, kLabel, 2, kValue, 0); },
         inner(invalid, "TavCreateVectorData", noData)},
        // The label cannot be made.
        {"TavAddNamedVectorItem", [&] { return TavAddNamedVectorItem(vList, nullptr, kValue, 1); },
         inner(invalid, "TavCreateStringLabel", noLabel)},
        {"TavAddNamedImageItemW", [&] { return TavAddNamedImageItemW(iList, u"", image, 0, 0); },
         inner(invalid, "TavCreateStringLabelW", noLabel)},
        {"TavAddRegressionVectorItem", [&] { return TavAddRegressionVectorItem(vList, kLabel, 0, kValue, 1); },
         inner(invalid, "TavCreateVectorLabel", noLabel)},
        // The item does not fit.
        {"TavAddRegressionVectorItem", [&] { return TavAddRegressionVectorItem(vList, kLabel, 2, kValue, 1); }, noFit},
        {"TavAddNamedVectorItem", [&] { return TavAddNamedVectorItem(vList, "a", kLabel, 2); }, noFit},
        {"TavAddRegressionImageItem", [&] { return TavAddRegressionImageItem(iList, kLabel, 2, image, 0, 0); }, noFit},
    };
    for (Case& c : cases) {
        for (auto& e : c.expected)
            if (e.function.empty())
                e.function = c.name;
        expect_calls({{c.name, c.add, c.expected.back().code, c.expected}});
        EXPECT_EQ(std::vector<int64_t>({TavGetNumDataEntries(iList), TavGetNumDataEntries(vList), ZtRefCount(iList),
                                        ZtRefCount(vList), ZtRefCount(image)}),
                  std::vector<int64_t>({0, 0, 1, 1, 1}))
            << c.name;
    }
}

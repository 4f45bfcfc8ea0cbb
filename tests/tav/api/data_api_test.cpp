#include <climits>

#include "list_fixture.hpp"

using namespace list_test;

namespace {

// A 6 x 4 image whose pixel (x, y) is x + 10 y.
struct Image {
    ZTIMAGE image = ZtImageCreate(6, 4, 1, ZT_DT_U8);
    Owned owned{{image}};
    Image() {
        for (int32_t y = 0; y < 4; ++y)
            for (int32_t x = 0; x < 6; ++x)
                ZtImageSetPixel(image, 0, x, y, x + 10 * y);
    }
};

} // namespace

TEST(TavCreateImageData, cuts_a_private_copy_of_an_area_inside_the_image) {
    Image source;
    auto cut = [&](int32_t left, int32_t top, int32_t width, int32_t height) {
        return [=, &source] { return static_cast<int64_t>(TavCreateImageData(source.image, left, top, width, height)); };
    };
    const Reports refused = refusal(TAV_E_INVALID_VALUE, "TavCreateImageData", kOutside);
    expect_calls({
        {"past the right", cut(1, 0, 6, 4), 0, refused},
        {"left of the image", cut(-1, 0, 1, 1), 0, refused},
        {"past the bottom", cut(0, 1, 6, 4), 0, refused},
        {"left + width wraps", cut(1, 0, INT32_MAX, 1), 0, refused},
        // An empty area is the image library's failure.
        {"empty", cut(0, 0, 0, 4), 0, refusal(TAV_E_FAILURE, "TavCreateImageData")},
    });

    Owned owned;
    const TAVDATA whole = owned.hold(TavCreateImageData(source.image, 0, 0, 6, 4)),
                  part = owned.hold(TavCreateImageData(source.image, 2, 1, 3, 2));
    EXPECT_EQ(ZtRefCount(source.image), 1);
    EXPECT_EQ(ZtRefCount(part), 1);
    EXPECT_EQ(std::make_pair(ZtImageWidth(image_of(part)), ZtImageHeight(image_of(part))), std::make_pair(3, 2));
    ZtImageSetPixel(source.image, 0, 2, 1, 200);
    EXPECT_EQ(pixel(image_of(whole), 2, 1), 12);
    EXPECT_EQ(pixel(image_of(part), 0, 0), 12);

    // The image is lent: the same handle each time, no reference taken.
    const ZTIMAGE lent = image_of(whole);
    const int64_t refs = ZtRefCount(lent);
    EXPECT_EQ(image_of(whole), lent);
    EXPECT_EQ(ZtRefCount(lent), refs);
}

TEST(TavGetImageData, refuses_vector_data_and_a_null_out_leaving_the_variable_alone) {
    Image source;
    const float one = 1;
    Owned owned;
    const TAVDATA image = owned.hold(TavCreateImageData(source.image, 0, 0, 6, 4)),
                  vector = owned.hold(TavCreateVectorData(&one, 1));
    ZTIMAGE out = 77;
    // The vector getter's refusal of image data is among the value getters' cases.
    expect_calls({
        fails("image of vector", [&] { return TavGetImageData(vector, &out); }, TAV_E_INCOMPATIBLE, "TavGetImageData"),
        fails("null out", [&] { return TavGetImageData(image, nullptr); }, TAV_E_INVALID_ARGUMENT, "TavGetImageData"),
    });
    EXPECT_EQ(out, 77u);
}

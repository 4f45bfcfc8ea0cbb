#include <gtest/gtest.h>

#include <limits>

#include "image_holder.hpp"

using ztcimg_test::Image;

namespace {

const uint32_t kAllWords[] = {ZT_DT_U8, ZT_DT_S8,  ZT_DT_U16, ZT_DT_S16, ZT_DT_U32, ZT_DT_S32, ZT_DT_U64,
                              ZT_DT_S64, ZT_DT_F32, ZT_DT_F64, 1,         0x104,     12,        0x130};

Image load(const std::vector<uint8_t>& blob) {
    Image img;
    ZTIMAGE out = 42;
    const int32_t ok = ZtImageLoadFromMemory(blob.data(), blob.size(), &out);
    EXPECT_EQ(ok != 0, out != 0);
    *img.out() = out;
    return img;
}

std::vector<uint8_t> sample_blob() {
    const uint32_t words[] = {ZT_DT_U8, 0x104, ZT_DT_F32};
    Image img(ZtImageCreatePlanes(3, 2, 3, words));
    ztcimg_test::fill_pattern(img.get());
    return img.stored();
}

void put_u32(std::vector<uint8_t>& blob, size_t at, uint32_t v) {
    for (int i = 0; i < 4; ++i)
        blob[at + i] = static_cast<uint8_t>(v >> (8 * i));
}

TEST(ZtImageStoredFormTest, EveryTruncationIsRefused) {
    auto blob = sample_blob();
    for (size_t n = 0; n < blob.size(); ++n) {
        std::vector<uint8_t> cut(blob.begin(), blob.begin() + static_cast<ptrdiff_t>(n));
        EXPECT_FALSE(load(cut)) << n;
    }
    blob.push_back(0);
    EXPECT_FALSE(load(blob));
    ZTIMAGE out = 1;
    EXPECT_EQ(ZtImageLoadFromMemory(nullptr, 10, &out), 0);
    EXPECT_EQ(out, 0u);
    EXPECT_EQ(ZtImageLoadFromMemory(blob.data(), blob.size(), nullptr), 0);
}

// A changed byte gives either no image or an image that stores back to
// exactly the changed bytes.
TEST(ZtImageStoredFormTest, FlippedBytesLoadCleanlyOrNotAtAll) {
    const auto blob = sample_blob();
    int loaded = 0;
    for (size_t i = 0; i < blob.size(); ++i) {
        for (uint8_t mask : {uint8_t{0x01}, uint8_t{0x80}, uint8_t{0xFF}}) {
            auto changed = blob;
            changed[i] ^= mask;
            Image img = load(changed);
            if (img) {
                ++loaded;
                EXPECT_EQ(img.stored(), changed) << i;
            }
        }
    }
    EXPECT_GT(loaded, 0); // flips inside the 8-bit plane stay valid
}

TEST(ZtImageStoredFormTest, InconsistentHeadersAreRefused) {
    const int32_t m = std::numeric_limits<int32_t>::max();
    struct Patch {
        size_t at;
        uint32_t value;
    };
    const Patch patches[] = {
        {8, 2},                        // version
        {12, static_cast<uint32_t>(m)}, // width
        {16, static_cast<uint32_t>(m)}, // height
        {12, 0},
        {16, static_cast<uint32_t>(-1)},
        {20, 0x7FFFFFFF},              // plane count
        {20, 2},                       // fewer planes than the pixels hold
        {20, 4},
        {28, 0x220},                   // float without sign
        {28, ZT_DT_U16},               // more pixel bytes than present
        {28, 0},
    };
    for (const Patch& p : patches) {
        auto blob = sample_blob();
        put_u32(blob, p.at, p.value);
        EXPECT_FALSE(load(blob)) << p.at << "=" << p.value;
    }
    // Width and height whose product overflows even 64 bits with the depth.
    auto blob = sample_blob();
    put_u32(blob, 12, static_cast<uint32_t>(m));
    put_u32(blob, 16, static_cast<uint32_t>(m));
    put_u32(blob, 20, 1);
    put_u32(blob, 24, ZT_DT_F64);
    EXPECT_FALSE(load(blob));
}

} // namespace

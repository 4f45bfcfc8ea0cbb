// Labels and data of the library: comparison and order keys, the refusal of
// hostile stored forms, and the comparison of images in any memory layout.
#include <cfloat>
#include <cstring>
#include <limits>
#include <optional>
#include <random>
#include <stdexcept>
#include <string>
#include <vector>

#include <gtest/gtest.h>
#include <zt/ztcimg.h>

#include "tav/frame/make_object.hpp"
#include "tav/samples/data_float32_vector.hpp"
#include "tav/samples/data_image.hpp"
#include "tav/samples/image_compare.hpp"
#include "tav/samples/label_float32_vector.hpp"
#include "tav/samples/label_string.hpp"

using namespace Korvu2::TAV;
using namespace Korvu2::TAV::Objects;

namespace {

const float kNaN = std::numeric_limits<float>::quiet_NaN();
const float kInf = std::numeric_limits<float>::infinity();
const float kDenorm = std::numeric_limits<float>::denorm_min();

SharedHandle<ITavLabel> text(std::string t) { return make_object<CLabelString>(std::move(t)); }
SharedHandle<ITavLabel> floats(std::vector<float> v) { return make_object<CLabelFloat32Vector>(std::move(v)); }
SharedHandle<CDataImage> image_data(int32_t w, int32_t h, uint32_t type) {
    return make_object<CDataImage>(ImageRef::adopt(ZtImageCreate(w, h, 1, type)));
}

// A smaller key must mean IsLess one way and not the other.
void expect_keys_agree_with_is_less(const ITavLabel& a, const ITavLabel& b) {
    const std::optional<uint64_t> ka = a.OrderKey(), kb = b.OrderKey();
    if (!ka || !kb || *ka == *kb)
        return;
    const ITavLabel& smaller = *ka < *kb ? a : b;
    const ITavLabel& larger = *ka < *kb ? b : a;
    EXPECT_TRUE(smaller.IsLess(larger));
    EXPECT_FALSE(larger.IsLess(smaller));
}

enum class Keys { Less, Equal, Greater, FirstNone, BothNone };

} // namespace

// Order keys, equality and IsLess each way (less: -1 a first, 1 b first, 0 neither).
TEST(Labels, tricky_pairs_compare_order_and_key) {
    struct Case {
        const char* name;
        SharedHandle<ITavLabel> a, b;
        Keys keys;
        int32_t compare;
        int less;
    } cases[] = {
        {"equal texts", text("cat"), text("cat"), Keys::Equal, 0, 0},
        {"case counts", text("Cat"), text("cat"), Keys::Less, -1, -1},
        {"empty text first", text(""), text("a"), Keys::Less, -1, -1},
        {"prefix first", text("ab"), text("abc"), Keys::Less, -1, -1},
        {"differ after eight bytes", text("abcdefgh1"), text("abcdefgh0"), Keys::Equal, -1, 1},
        {"prefix after eight bytes", text("abcdefgh"), text("abcdefghi"), Keys::Equal, -1, -1},
        {"bytes unsigned", text("z"), text("\xC3\xA9"), Keys::Less, -1, -1},
        {"inner zero byte ties", text("a"), text(std::string("a\0", 2)), Keys::Equal, -1, -1},
        {"zero byte then more", text(std::string("a\0b", 3)), text("a"), Keys::Greater, -1, 1},
        {"signed zeros", floats({-0.0f, 1}), floats({0.0f, 1}), Keys::Equal, 0, 0},
        {"subnormal ties with zero", floats({kDenorm, 1}), floats({0.0f, 1}), Keys::Equal, -1, 1},
        {"NaN second after zero first", floats({0.0f, kNaN}), floats({kDenorm, 3}), Keys::Equal, -1, -1},
        {"smallest normal above subnormal", floats({FLT_MIN, 0}), floats({kDenorm, 0}), Keys::Greater, -1, 1},
        {"second decides", floats({1, 2}), floats({1, 3}), Keys::Less, -1, -1},
        {"first unequal element", floats({1, 5}), floats({2, 0}), Keys::Less, -1, -1},
        {"negative infinity second", floats({1, -kInf}), floats({1, -FLT_MAX}), Keys::Less, -1, -1},
        {"positive infinity first", floats({FLT_MAX, 9}), floats({kInf, 0}), Keys::Less, -1, -1},
        {"negatives by magnitude", floats({-1, 0}), floats({-0.5f, 0}), Keys::Less, -1, -1},
        {"negative first, second decides", floats({-2, 5}), floats({-2, 4}), Keys::Greater, -1, 1},
        {"third element ignored by the key", floats({1, 2, 9}), floats({1, 2, 3}), Keys::Equal, -1, 1},
        {"prefix is neither", floats({1, 2}), floats({1, 2, 3}), Keys::Equal, -1, 0},
        {"one element", floats({2}), floats({3}), Keys::Less, -1, -1},
        {"NaN first", floats({kNaN, 1}), floats({1, 1}), Keys::FirstNone, -1, 0},
        {"NaN second", floats({1, kNaN}), floats({1, 1}), Keys::FirstNone, -1, 0},
        {"NaN equals nothing", floats({kNaN}), floats({kNaN}), Keys::BothNone, -1, 0},
        {"empty vectors", floats({}), floats({}), Keys::BothNone, 0, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const auto ka = c.a->OrderKey(), kb = c.b->OrderKey();
        if (c.keys == Keys::FirstNone) {
            EXPECT_FALSE(ka);
            EXPECT_TRUE(kb);
        } else if (c.keys == Keys::BothNone) {
            EXPECT_FALSE(ka || kb);
        } else {
            ASSERT_TRUE(ka && kb);
            EXPECT_EQ(int(*ka > *kb) - int(*ka < *kb), int(c.keys) - 1); // Less, Equal, Greater
        }
        EXPECT_EQ(c.a->Compare(*c.b), c.compare);
        EXPECT_EQ(c.a->IsLess(*c.b), c.less < 0);
        EXPECT_EQ(c.b->IsLess(*c.a), c.less > 0);
    }
    EXPECT_EQ(text("1")->Compare(*floats({1})), 1);
    EXPECT_EQ(floats({1})->Compare(*text("1")), 1);
    EXPECT_THROW(text("1")->IsLess(*floats({1})), std::runtime_error);
}

TEST(LabelOrderKey, random_pairs_never_contradict_is_less) {
    std::mt19937 random(4242);
    const char bytes[] = {'a', 'b', '\0', '\x7F', '\x80', '\xFF'};
    const float values[] = {0.0f, -0.0f, kDenorm, -kDenorm, FLT_MIN, -FLT_MIN, 1.0f, -1.0f, 1.0f + FLT_EPSILON,
                            kInf, -kInf,  FLT_MAX, -FLT_MAX, kNaN};
    auto random_text = [&] {
        std::string t(random() % 11, 'a');
        for (char& c : t)
            c = bytes[random() % sizeof bytes];
        return text(std::move(t));
    };
    auto random_floats = [&](std::size_t dimension) {
        std::vector<float> v(dimension);
        for (float& x : v)
            x = values[random() % std::size(values)];
        return floats(std::move(v));
    };
    for (int i = 0; i < 20000; ++i) {
        SCOPED_TRACE(i);
        expect_keys_agree_with_is_less(*random_text(), *random_text());
        const std::size_t dimension = 1 + random() % 3;
        expect_keys_agree_with_is_less(*random_floats(dimension), *random_floats(dimension));
        if (HasFailure())
            return;
    }
}

TEST(StoredForms, HostilePayloadsAreRejected) {
    const float three[] = {1, 2, 3};
    EXPECT_EQ(CLabelString(StoredPayload{"ab\0c", 4}).Text(), "ab");
    EXPECT_THROW(CLabelString(StoredPayload{"\0abc", 4}), invalid_stored_form);
    EXPECT_THROW(CLabelString(StoredPayload{"", 0}), invalid_stored_form);
    for (uint64_t size : {0, 1, 5, 11}) {
        EXPECT_THROW(CLabelFloat32Vector(StoredPayload{three, size}), invalid_stored_form) << size;
        EXPECT_THROW(CDataFloat32Vector(StoredPayload{three, size}), invalid_stored_form) << size;
    }
    EXPECT_THROW(CDataImage(StoredPayload{"ZTIM\1\2\3", 7}), invalid_stored_form);
    EXPECT_THROW(CDataImage(StoredPayload{nullptr, 0}), invalid_stored_form);
    auto image = image_data(4, 4, ZT_DT_U8);
    image->prepare();
    EXPECT_THROW(CDataImage(StoredPayload{image->chunk_data(), image->chunk_size() - 1}), invalid_stored_form);
}

// A sample made from its stored form makes its image once, on first use; a
// pixel written through that image is in the stored form the sample lends.
TEST(StoredForms, AStoredImageIsMadeOnceAndStoresItsPixelsAsWritten) {
    auto source = image_data(3, 5, ZT_DT_U16);
    source->prepare();
    const std::vector<uint8_t> blob(static_cast<const uint8_t*>(source->chunk_data()),
                                    static_cast<const uint8_t*>(source->chunk_data()) + source->chunk_size());
    source->clear();
    CDataImage loaded(StoredPayload{blob.data(), blob.size()});
    const ZTIMAGE image = loaded.Image();
    EXPECT_EQ(loaded.Image(), image);
    EXPECT_EQ(loaded.Clone()->Compare(loaded), CompareEqual);
    ASSERT_EQ(ZtImageSetPixel(image, 0, 2, 4, 515.0), 0);
    loaded.prepare();
    ASSERT_EQ(loaded.chunk_size(), blob.size());
    const auto* stored = static_cast<const uint8_t*>(loaded.chunk_data());
    EXPECT_EQ(stored[blob.size() - 2] | stored[blob.size() - 1] << 8, 515);
    loaded.clear();
}

namespace {

enum class Layout { Packed, PaddedLines, ReversedColumns, SpacedColumns };

// One-plane image laid out as asked, reached only through its linear-access
// table, as the comparison must.
class FakeImage : public ZTK::IZtImage {
public:
    FakeImage(int32_t width, int32_t height, uint32_t type, Layout layout = Layout::Packed)
        : width_(width), height_(height), type_(type), e_(BytesPerPixel(type)) {
        int64_t column = e_, line = width * e_, first = 0;
        if (layout == Layout::PaddedLines)
            line += 13; // odd: lines are also misaligned
        if (layout == Layout::ReversedColumns)
            column = -e_, first = (width - 1) * e_;
        if (layout == Layout::SpacedColumns)
            column = 2 * e_, line = 2 * width * e_;
        memory_.assign(static_cast<size_t>(line * height + 2 * width * e_ + 3), 0);
        for (int32_t i = 0; i < std::max(width, height); ++i)
            table_.push_back({first + i * column, i * line});
    }
    unsigned char* at(int32_t x, int32_t y) { return memory_.data() + 3 + table_[x].x + table_[y].y; }
    template <class T>
    void set(int32_t x, int32_t y, T value) {
        std::memcpy(at(x, y), &value, sizeof(T));
    }
    void copy_pixels_from(FakeImage& other) {
        for (int32_t y = 0; y < height_; ++y)
            for (int32_t x = 0; x < width_; ++x)
                std::memcpy(at(x, y), other.at(x, y), e_);
    }

    bool fail_dimension = false, fail_access = false;

    int32_t GetDimension(int32_t* planes, int32_t* width, int32_t* height) override {
        *planes = 1, *width = width_, *height = height_;
        return fail_dimension ? -1 : 0;
    }
    int32_t GetPlaneDataType(int32_t, uint32_t* type) override { return *type = type_, 0; }
    int32_t GetLinearAccess(int32_t, void** base, const ZTK::ZtLinearEntry** table) override {
        *base = memory_.data() + 3, *table = table_.data();
        return fail_access ? -1 : 0;
    }
    int32_t Reserved() override { return -1; }
    int32_t SetCoordinateSystem(const void*) override { return 0; }

private:
    int32_t width_, height_;
    uint32_t type_;
    int64_t e_;
    std::vector<unsigned char> memory_;
    std::vector<ZTK::ZtLinearEntry> table_;
};

// Both walks, which must always agree.
int32_t compare_both_ways(FakeImage& a, FakeImage& b) {
    const int32_t fastest = compare_images(a, b, ImageWalk::Fastest);
    EXPECT_EQ(fastest, compare_images(a, b, ImageWalk::PerPixel));
    return fastest;
}

TEST(ImageCompare, PixelEqualityByType) {
    const double nan = std::numeric_limits<double>::quiet_NaN();
    struct Case {
        uint32_t type_a, type_b;
        double a, b; // written as the plane's element type at (66, 1)
        int32_t expected;
    } cases[] = {
        {ZT_DT_F32, ZT_DT_F32, 0.0, -0.0, 0},  {ZT_DT_F64, ZT_DT_F64, 0.0, -0.0, 0},
        {ZT_DT_F32, ZT_DT_F32, nan, nan, -1},  {ZT_DT_F64, ZT_DT_F64, nan, nan, -1},
        {ZT_DT_F32, ZT_DT_F32, 1.0, 1.5, -1},  {ZT_DT_U16, ZT_DT_U16, 0x8000, 0x8000, 0},
        {ZT_DT_U16, ZT_DT_U16, 0x8000, 0x8001, -1},
        // Another pixel type is another image, even with equal bytes.
        {ZT_DT_U8, ZT_DT_U16, 0, 0, -1},       {ZT_DT_U8, ZT_DT_S8, 0, 0, -1},
        {ZT_DT_U8, ZT_DT_U8 | 0x1000, 0, 0, 0}, // flags above the pixel type do not count
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << std::hex << c.type_a << " " << c.a << " / " << c.type_b << " " << c.b);
        FakeImage a(70, 2, c.type_a), b(70, 2, c.type_b, Layout::PaddedLines);
        for (auto [image, type, v] : {std::tuple{&a, c.type_a, c.a}, std::tuple{&b, c.type_b, c.b}}) {
            if (type == ZT_DT_F32)
                image->set<float>(66, 1, static_cast<float>(v));
            else if (type == ZT_DT_F64)
                image->set<double>(66, 1, v);
            else if (type == ZT_DT_U16)
                image->set<uint16_t>(66, 1, static_cast<uint16_t>(v));
        }
        EXPECT_EQ(compare_both_ways(a, b), c.expected);
    }
}

TEST(ImageCompare, GeometryAndFailedQueriesMakeImagesDifferent) {
    FakeImage a(4, 4, ZT_DT_U8), b(4, 4, ZT_DT_U8), wider(5, 4, ZT_DT_U8), taller(4, 5, ZT_DT_U8);
    EXPECT_EQ(compare_both_ways(a, b), 0);
    EXPECT_EQ(compare_both_ways(a, wider), -1);
    EXPECT_EQ(compare_both_ways(a, taller), -1);
    b.fail_dimension = true;
    EXPECT_EQ(compare_both_ways(a, b), -1);
    b.fail_dimension = false, b.fail_access = true;
    EXPECT_EQ(compare_both_ways(a, b), -1);
}

// Every layout against every other (lines contiguous or not, columns
// reversed or spaced), every pixel size, equal or with one differing pixel.
TEST(ImageCompare, LineWalkAgreesWithPixelWalkOnEveryLayout) {
    const Layout layouts[] = {Layout::Packed, Layout::PaddedLines, Layout::ReversedColumns, Layout::SpacedColumns};
    std::mt19937 random(7);
    for (Layout la : layouts)
        for (Layout lb : layouts)
            for (uint32_t type : {ZT_DT_U8, ZT_DT_S16, ZT_DT_U32, ZT_DT_U64, ZT_DT_F32, ZT_DT_F64})
                for (int32_t width : {1, 63, 64, 131}) {
                    SCOPED_TRACE(testing::Message() << int(la) << "/" << int(lb) << " " << type << " " << width);
                    FakeImage a(width, 3, type, la), b(width, 3, type, lb);
                    for (int32_t y = 0; y < 3; ++y)
                        for (int32_t x = 0; x < width; ++x)
                            a.set<uint8_t>(x, y, static_cast<uint8_t>(random() % 100 + 1));
                    b.copy_pixels_from(a);
                    EXPECT_EQ(compare_both_ways(a, b), 0);
                    b.set<uint8_t>(static_cast<int32_t>(random() % width), static_cast<int32_t>(random() % 3), 0);
                    EXPECT_EQ(compare_both_ways(a, b), -1);
                }
}

} // namespace

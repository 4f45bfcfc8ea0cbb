// Labels and data of the library: comparison and order keys, and the
// refusal of hostile stored forms.
#include <cfloat>
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

TEST(LabelOrderKey, tricky_pairs) {
    struct Case {
        const char* name;
        SharedHandle<ITavLabel> a, b;
        Keys keys;
    } cases[] = {
        {"empty text first", text(""), text("a"), Keys::Less},
        {"prefix first", text("ab"), text("abc"), Keys::Less},
        {"differ after eight bytes", text("abcdefgh1"), text("abcdefgh0"), Keys::Equal},
        {"prefix after eight bytes", text("abcdefgh"), text("abcdefghi"), Keys::Equal},
        {"bytes unsigned", text("z"), text("\xC3\xA9"), Keys::Less},
        {"inner zero byte ties", text("a"), text(std::string("a\0", 2)), Keys::Equal},
        {"zero byte then more", text(std::string("a\0b", 3)), text("a"), Keys::Greater},
        {"signed zeros", floats({-0.0f, 1}), floats({0.0f, 1}), Keys::Equal},
        {"subnormal ties with zero", floats({kDenorm, 1}), floats({0.0f, 1}), Keys::Equal},
        {"NaN second after zero first", floats({0.0f, kNaN}), floats({kDenorm, 3}), Keys::Equal},
        {"smallest normal above subnormal", floats({FLT_MIN, 0}), floats({kDenorm, 0}), Keys::Greater},
        {"second decides", floats({1, 2}), floats({1, 3}), Keys::Less},
        {"negative infinity second", floats({1, -kInf}), floats({1, -FLT_MAX}), Keys::Less},
        {"positive infinity first", floats({FLT_MAX, 9}), floats({kInf, 0}), Keys::Less},
        {"negatives by magnitude", floats({-1, 0}), floats({-0.5f, 0}), Keys::Less},
        {"negative first, second decides", floats({-2, 5}), floats({-2, 4}), Keys::Greater},
        {"third element ignored", floats({1, 2, 9}), floats({1, 2, 3}), Keys::Equal},
        {"one element", floats({2}), floats({3}), Keys::Less},
        {"NaN first", floats({kNaN, 1}), floats({1, 1}), Keys::FirstNone},
        {"NaN second", floats({1, kNaN}), floats({1, 1}), Keys::FirstNone},
        {"empty vectors", floats({}), floats({}), Keys::BothNone},
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
        expect_keys_agree_with_is_less(*c.a, *c.b);
    }
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

TEST(Labels, CompareAndOrder) {
    struct Case {
        const char* name;
        SharedHandle<ITavLabel> a, b;
        int32_t compare;
        bool a_less, b_less;
    } cases[] = {
        {"equal texts", text("cat"), text("cat"), 0, false, false},
        {"case counts", text("Cat"), text("cat"), -1, true, false},
        {"prefix first", text("ca"), text("cat"), -1, true, false},
        {"bytes unsigned", text("a"), text("\xC3\xA9"), -1, true, false},
        {"signed zeros", floats({0.0f, 1}), floats({-0.0f, 1}), 0, false, false},
        {"NaN equals nothing", floats({kNaN}), floats({kNaN}), -1, false, false},
        {"first unequal element", floats({1, 5}), floats({2, 0}), -1, true, false},
        {"prefix is neither", floats({1, 2}), floats({1, 2, 3}), -1, false, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(c.a->Compare(*c.b), c.compare);
        EXPECT_EQ(c.a->IsLess(*c.b), c.a_less);
        EXPECT_EQ(c.b->IsLess(*c.a), c.b_less);
    }
    EXPECT_EQ(text("1")->Compare(*floats({1})), 1);
    EXPECT_EQ(floats({1})->Compare(*text("1")), 1);
    EXPECT_THROW(text("1")->IsLess(*floats({1})), std::runtime_error);
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

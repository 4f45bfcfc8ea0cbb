#include <cmath>
#include <cstring>
#include <limits>
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
#include "tav/types/data_type_float32_vector.hpp"
#include "tav/types/data_type_image.hpp"
#include "tav/types/label_type_float32_vector.hpp"
#include "tav/types/label_type_string.hpp"

using namespace Korvu2::TAV;
using namespace Korvu2::TAV::Objects;

namespace {

constexpr float kNaN = std::numeric_limits<float>::quiet_NaN();

SharedHandle<ITavLabel> text(const std::string& t) { return make_object<CLabelString>(t); }
SharedHandle<ITavLabel> floats(std::vector<float> v) { return make_object<CLabelFloat32Vector>(std::move(v)); }

SharedHandle<CDataImage> image_data(int32_t w, int32_t h, uint32_t type) {
    return make_object<CDataImage>(ImageRef::adopt(ZtImageCreate(w, h, 1, type)));
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
        {"other class", text("1"), floats({1}), 1, false, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(c.a->Compare(*c.b), c.compare);
        if (c.compare == 1) {
            EXPECT_EQ(c.b->Compare(*c.a), 1);
            EXPECT_THROW(c.a->IsLess(*c.b), std::runtime_error);
            continue;
        }
        EXPECT_EQ(c.a->IsLess(*c.b), c.a_less);
        EXPECT_EQ(c.b->IsLess(*c.a), c.b_less);
    }
}

TEST(Labels, CompatibilityFollowsClassAndDimension) {
    auto string_type = make_object<CLabelTypeString>();
    auto dim3 = make_object<CLabelTypeFloat32Vector>(3);
    auto three = floats({1, 2, 3});
    EXPECT_TRUE(text("x")->VerifyCompatibility(*string_type));
    EXPECT_FALSE(text("x")->VerifyCompatibility(*dim3));
    EXPECT_TRUE(three->VerifyCompatibility(*dim3));
    EXPECT_FALSE(three->VerifyCompatibility(*make_object<CLabelTypeFloat32Vector>(4)));
    EXPECT_FALSE(three->VerifyCompatibility(*string_type));
}

TEST(Clones, CopyValuesButNotIdentityLinksOrPixels) {
    auto s = text("a");
    s->SetExcluded(true);
    auto v = floats({1});
    v->SetExcluded(true);
    auto s2 = s->Clone(), v2 = v->Clone();
    EXPECT_TRUE(s2->Excluded());  // kept by text labels
    EXPECT_FALSE(v2->Excluded()); // not by vector labels
    EXPECT_NE(s2->UniqueNumber(), s->UniqueNumber());
    EXPECT_EQ(s2->Compare(*s), 0);
    EXPECT_EQ(v2->Compare(*v), 0);

    auto vd = make_object<CDataFloat32Vector>(std::vector<float>{1, 2});
    auto vd2 = vd->Clone();
    EXPECT_NE(static_cast<CDataFloat32Vector&>(*vd2).Values().data(), vd->Values().data());
    EXPECT_EQ(vd2->Compare(*vd), 0);

    // Image clones share the image (and compare equal without a pixel walk).
    auto id = image_data(3, 2, ZT_DT_U8);
    const int64_t refs = ZtRefCount(id->Image());
    auto id2 = id->Clone();
    EXPECT_EQ(static_cast<CDataImage&>(*id2).Image(), id->Image());
    EXPECT_EQ(ZtRefCount(id->Image()), refs + 1);
    EXPECT_EQ(id2->Compare(*id), 0);
    EXPECT_FALSE(id2->LabelLink());
    id2.reset();
    EXPECT_EQ(ZtRefCount(id->Image()), refs);
}

TEST(ImageData, CompatibilityByGeometryAndPixelType) {
    auto data = image_data(64, 48, ZT_DT_S16);
    auto type = [](int32_t w, int32_t h, int32_t planes, uint32_t pixel) {
        return make_object<CDataTypeImage>(ImageGeometry{w, h, planes, pixel}, FeatureWindow{1, 1, 5, 5, 0, 0});
    };
    EXPECT_TRUE(data->VerifyCompatibility(*type(64, 48, 1, ZT_DT_S16)));
    EXPECT_TRUE(data->VerifyCompatibility(*type(64, 48, 1, ZT_DT_S16 | 0x4000)));
    EXPECT_FALSE(data->VerifyCompatibility(*type(64, 48, 1, ZT_DT_U16)));
    EXPECT_FALSE(data->VerifyCompatibility(*type(64, 47, 1, ZT_DT_S16)));
    EXPECT_FALSE(data->VerifyCompatibility(*type(64, 48, 2, ZT_DT_S16)));
    EXPECT_FALSE(data->VerifyCompatibility(*make_object<CDataTypeFloat32Vector>(3)));
    auto vector = make_object<CDataFloat32Vector>(std::vector<float>{1, 2, 3});
    EXPECT_TRUE(vector->VerifyCompatibility(*make_object<CDataTypeFloat32Vector>(3)));
    EXPECT_FALSE(vector->VerifyCompatibility(*make_object<CDataTypeFloat32Vector>(4)));
    EXPECT_EQ(vector->Compare(*data), 1);
    EXPECT_EQ(data->Compare(*vector), 1);
}

// What prepare/chunk_data give is what the loading constructors take back.
TEST(StoredForms, RoundTrip) {
    auto label = make_object<CLabelString>(std::string("caf\xC3\xA9"));
    EXPECT_EQ(label->chunk_type(), vxIO::xriff_fixed_string<8>("TXTUTF8 "));
    EXPECT_EQ(label->chunk_size(), 5u);
    CLabelString text_back(StoredPayload{label->chunk_data(), label->chunk_size()});
    EXPECT_EQ(text_back.Compare(*label), 0);

    auto values = make_object<CDataFloat32Vector>(std::vector<float>{1.5f, -0.0f});
    EXPECT_EQ(values->chunk_type(), vxIO::xriff_fixed_string<8>("ARRYFL32"));
    EXPECT_EQ(values->chunk_size(), 8u);
    CDataFloat32Vector values_back(StoredPayload{values->chunk_data(), values->chunk_size()});
    EXPECT_EQ(std::memcmp(values_back.Values().data(), values->Values().data(), 8), 0);

    auto image = image_data(5, 3, ZT_DT_F32);
    ASSERT_EQ(ZtImageSetPixel(image->Image(), 0, 4, 2, 2.5), 0);
    image->prepare();
    EXPECT_EQ(image->chunk_type(), vxIO::xriff_fixed_string<8>("ZTIMG9  "));
    EXPECT_TRUE(image->chunk_name().empty());
    auto image_back = make_object<CDataImage>(StoredPayload{image->chunk_data(), image->chunk_size()});
    EXPECT_EQ(image_back->Compare(*image), 0);
    image->clear();
    EXPECT_EQ(image->chunk_size(), 0u);
}

TEST(StoredForms, HostilePayloadsAreRejected) {
    const float three[] = {1, 2, 3};
    const char text_with_nul[] = {'a', 'b', '\0', 'c'};
    EXPECT_EQ(CLabelString(StoredPayload{text_with_nul, 4}).Text(), "ab");
    EXPECT_THROW(CLabelString(StoredPayload{"\0abc", 4}), invalid_stored_form);
    EXPECT_THROW(CLabelString(StoredPayload{"", 0}), invalid_stored_form);
    for (uint64_t size : {0, 1, 5, 11}) {
        SCOPED_TRACE(size);
        EXPECT_THROW(CLabelFloat32Vector(StoredPayload{three, size}), invalid_stored_form);
        EXPECT_THROW(CDataFloat32Vector(StoredPayload{three, size}), invalid_stored_form);
    }
    const unsigned char junk[] = {'Z', 'T', 'I', 'M', 1, 2, 3};
    EXPECT_THROW(CDataImage(StoredPayload{junk, sizeof junk}), invalid_stored_form);
    EXPECT_THROW(CDataImage(StoredPayload{nullptr, 0}), invalid_stored_form);
    // A truncated blob of a real image is refused as well.
    auto image = image_data(4, 4, ZT_DT_U8);
    image->prepare();
    EXPECT_THROW(CDataImage(StoredPayload{image->chunk_data(), image->chunk_size() - 1}), invalid_stored_form);
}

} // namespace

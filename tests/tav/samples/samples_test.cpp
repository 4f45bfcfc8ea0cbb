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

using namespace Korvu2::TAV;
using namespace Korvu2::TAV::Objects;

namespace {

SharedHandle<ITavLabel> text(const std::string& t) { return make_object<CLabelString>(t); }
SharedHandle<ITavLabel> floats(std::vector<float> v) { return make_object<CLabelFloat32Vector>(std::move(v)); }
SharedHandle<CDataImage> image_data(int32_t w, int32_t h, uint32_t type) {
    return make_object<CDataImage>(ImageRef::adopt(ZtImageCreate(w, h, 1, type)));
}

TEST(Labels, CompareAndOrder) {
    const float nan = std::numeric_limits<float>::quiet_NaN();
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
        {"NaN equals nothing", floats({nan}), floats({nan}), -1, false, false},
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

} // namespace

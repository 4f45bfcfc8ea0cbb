#include <gtest/gtest.h>

#include "support/reports.hpp"
#include "tav/frame/call_frame.hpp"
#include "tav/frame/make_object.hpp"
#include "tav/list/list_transform.hpp"
#include "tav/list/sample_image_list.hpp"
#include "tav/samples/data_float32_vector.hpp"
#include "tav/samples/label_string.hpp"

using namespace Korvu2::TAV;
using namespace Korvu2::TAV::Objects;

namespace {

SharedHandle<ITav> string_vector_list() {
    SharedHandle<ITav> list = make_list(make_object<CLabelTypeString>(), make_object<CDataTypeFloat32Vector>(1));
    auto& target = AsList(*list);
    for (const char* text : {"a", "b"})
        target.AddItem(*make_object<CDataFloat32Vector>(std::vector<float>{1}), *make_object<CLabelString>(text));
    return list;
}

} // namespace

// When no new list can be made, the caller gets none and the transform fails
// at once, instead of trying (and failing) to add every item.
TEST(TransformLabels, no_new_list_leaves_the_variable_null_and_fails) {
    auto source = string_vector_list();
    ZTHANDLE mappedHandle = 0;
    Mapping<ITavLabel> map = [&](const SharedHandle<ITavLabel>&) -> std::optional<SharedHandle<ITavLabel>> {
        SharedHandle<ITavLabel> made = make_object<CLabelString>("x");
        mappedHandle = made.handle();
        return made;
    };
    int makes = 0;
    ListMaker none = [&](const SharedHandle<ITavLabelType>&, const SharedHandle<ITavDataType>&) {
        ++makes;
        return SharedHandle<ITav>();
    };
    ZTHANDLE out = 77;
    tav_test::ReportWatch watch;
    const int32_t status = frame::status(
        "TavTransformLabelList", [&](frame::Call&) { TransformLabels(AsList(*source), map, out, none); });
    EXPECT_EQ(status, ErrFailure);
    EXPECT_TRUE(watch.one(ErrFailure, "TavTransformLabelList"));
    EXPECT_EQ(out, 0u);
    EXPECT_EQ(makes, 1);
    EXPECT_EQ(ZtRefCount(mappedHandle), -1) << "the mapped label was not released";

    ZTHANDLE dataOut = 77;
    Mapping<ITavData> same = [](const SharedHandle<ITavData>& d) -> std::optional<SharedHandle<ITavData>> {
        return d->Clone();
    };
    EXPECT_EQ(frame::status("TavTransformDataList",
                            [&](frame::Call&) { TransformData(AsList(*source), same, dataOut, none); }),
              ErrFailure);
    EXPECT_EQ(dataOut, 0u);
}

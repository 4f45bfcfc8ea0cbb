// Label types: creation, comparison and the vector dimension.
#include <tav/tav.h>

#include "tav/frame/call_frame.hpp"
#include "tav/frame/make_object.hpp"
#include "tav/types/label_type_float32_vector.hpp"
#include "tav/types/label_type_string.hpp"

using namespace Korvu2::TAV;
using namespace Korvu2::TAV::Objects;

namespace {

// Any failure to make the object is reported as resource exhaustion.
template <class T, class... Args>
ZTHANDLE create_label_type(Args... args) {
    try {
        return make_object<T>(args...).release();
    } catch (...) {
        frame::fail(ErrOutOfMemory, kObjectCreationFailed);
    }
}

} // namespace

extern "C" {

TAVLABELTYPE TavCreateLabelTypeString(void) {
    return frame::handle("TavCreateLabelTypeString",
                         [&](frame::Call&) { return create_label_type<CLabelTypeString>(); });
}

TAVLABELTYPE TavCreateLabelTypeFloatVector(int32_t dimension) {
    return frame::handle("TavCreateLabelTypeFloatVector", [&](frame::Call&) {
        if (dimension < 1)
            frame::fail(ErrInvalidValue);
        return create_label_type<CLabelTypeFloat32Vector>(dimension);
    });
}

int32_t TavCompareLabelTypes(TAVLABELTYPE a, TAVLABELTYPE b) {
    return frame::status("TavCompareLabelTypes", [&](frame::Call& call) {
        auto& first = call.take<ITavLabelType>(a);
        auto& second = call.take<ITavLabelType>(b);
        return first.Compare(second);
    });
}

int32_t TavGetFloatVectorLabelDim(TAVLABELTYPE t, uint64_t* dimension) {
    return frame::status("TavGetFloatVectorLabelDim", [&](frame::Call& call) {
        auto& type = call.take<ITavLabelType>(t);
        auto* vector = type.TypeEnum() == CLabelTypeFloat32Vector::kTypeEnum
                           ? dynamic_cast<CLabelTypeFloat32Vector*>(&type)
                           : nullptr;
        if (vector == nullptr)
            frame::fail(ErrIncompatible);
        frame::out(dimension) = static_cast<uint64_t>(int64_t{vector->Dimension()});
    });
}

} // extern "C"

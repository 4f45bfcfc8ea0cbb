// Vector data, and the data functions shared by both data classes.
#include <algorithm>
#include <cstring>
#include <vector>

#include <tav/tav.h>

#include "tav/api/float_values.hpp"
#include "tav/frame/call_frame.hpp"
#include "tav/frame/make_object.hpp"
#include "tav/samples/data_float32_vector.hpp"

using namespace Korvu2::TAV;
using namespace Korvu2::TAV::Objects;

extern "C" {

TAVDATA TavCreateVectorData(const float* values, uint64_t count) {
    return frame::handle("TavCreateVectorData", [&](frame::Call&) {
        if (values == nullptr || count == 0)
            frame::fail(ErrInvalidArgument);
        std::vector<float> copy = api::copy_caller_floats(values, count);
        // Any failure to make the object is reported as resource exhaustion.
        try {
            return make_object<CDataFloat32Vector>(std::move(copy)).release();
        } catch (...) {
            frame::fail(ErrOutOfMemory, kObjectCreationFailed);
        }
    });
}

int32_t TavGetFloatVectorData(TAVDATA data, float* buffer, uint64_t* count) {
    return frame::status("TavGetFloatVectorData", [&](frame::Call& call) {
        auto* vector = dynamic_cast<CDataFloat32Vector*>(&call.take<ITavData>(data));
        if (vector == nullptr)
            frame::fail(ErrIncompatible);
        const auto& values = vector->Values();
        api::copy_floats_out(values, buffer, frame::out(count));
    });
}

int32_t TavCompareData(TAVDATA a, TAVDATA b) {
    return frame::status("TavCompareData", [&](frame::Call& call) {
        auto& first = call.take<ITavData>(a);
        auto& second = call.take<ITavData>(b);
        return first.Compare(second);
    });
}

int32_t TavVerifyDataCompatibility(TAVDATA data, TAVDATATYPE type) {
    return frame::status("TavVerifyDataCompatibility", [&](frame::Call& call) {
        auto& d = call.take<ITavData>(data);
        auto& t = call.take<ITavDataType>(type);
        return d.VerifyCompatibility(t) ? 1 : 0;
    });
}

} // extern "C"

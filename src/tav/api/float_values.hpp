#pragma once
// Float vectors crossing the boundary, shared by the label and data
// functions: taking the caller's values in, and the buffer protocol out.
#include <algorithm>
#include <cstdint>
#include <cstring>
#include <span>
#include <vector>

#include "tav/frame/call_frame.hpp"

namespace Korvu2::TAV::api {

// A copy of the caller's values; a count beyond memory is a creation failure.
inline std::vector<float> copy_caller_floats(const float* values, uint64_t count) {
    std::vector<float> copy;
    try {
        copy.resize(count);
    } catch (...) {
        frame::fail(ErrOutOfMemory, kObjectCreationFailed);
    }
    std::memcpy(copy.data(), values, count * sizeof(float));
    return copy;
}

// A null buffer asks for the count; too small a buffer fails the call and is
// left untouched.
inline void copy_floats_out(std::span<const float> values, float* buffer, uint64_t& count) {
    if (buffer != nullptr) {
        if (count < values.size())
            frame::fail(ErrBufferTooSmall);
        std::copy(values.begin(), values.end(), buffer);
    }
    count = values.size();
}

} // namespace Korvu2::TAV::api

#pragma once
// Float vectors as labels and data hold them: compared element by element
// with floating-point equality (+0.0 equals -0.0, a NaN equals nothing), and
// stored as 32-bit IEEE floats, four bytes each, with no count.
#include <cstring>
#include <span>
#include <vector>

#include "tav/samples/stored_payload.hpp"

namespace Korvu2::TAV::Objects {

inline bool float_values_equal(std::span<const float> a, std::span<const float> b) {
    if (a.size() != b.size())
        return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (!(a[i] == b[i]))
            return false;
    return true;
}

// The values of a stored float array; the size must be a positive multiple
// of 4 (a vector sample is never empty).
inline void check_float_payload(const StoredPayload& payload) {
    if (payload.size == 0 || payload.size % sizeof(float) != 0 || payload.bytes == nullptr)
        throw invalid_stored_form("float array of invalid size");
}

inline std::vector<float> float_values_from(const StoredPayload& payload) {
    check_float_payload(payload);
    std::vector<float> values(payload.size / sizeof(float));
    std::memcpy(values.data(), payload.bytes, payload.size);
    return values;
}

} // namespace Korvu2::TAV::Objects

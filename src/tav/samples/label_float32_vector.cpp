#include "tav/samples/label_float32_vector.hpp"

#include <algorithm>
#include <bit>
#include <stdexcept>

#include "tav/frame/make_object.hpp"
#include "tav/samples/float_values.hpp"
#include "tav/types/label_type_float32_vector.hpp"

namespace Korvu2::TAV::Objects {

namespace {

bool is_nan(uint32_t bits) {
    return (bits & 0x7FFFFFFFu) > 0x7F800000u;
}

// Zeros and subnormals: -0.0 equals +0.0, and under a flush-to-zero mode a
// subnormal equals zero, so these only get one image between them.
bool is_zero_like(uint32_t bits) {
    return (bits & 0x7F800000u) == 0;
}

// An order-preserving image of a float that is not NaN.
uint32_t ordered_image(uint32_t bits) {
    if (is_zero_like(bits))
        bits = 0;
    return (bits & 0x80000000u) != 0 ? ~bits : bits | 0x80000000u;
}

} // namespace

CLabelFloat32Vector::CLabelFloat32Vector(std::vector<float> values) : values_(std::move(values)) {}

CLabelFloat32Vector::CLabelFloat32Vector(const StoredPayload& payload) : values_(float_values_from(payload)) {}

int32_t CLabelFloat32Vector::Compare(const ITavLabel& other) const {
    auto* o = dynamic_cast<const CLabelFloat32Vector*>(&other);
    if (o == nullptr)
        return CompareOtherClass;
    return float_values_equal(values_, o->values_) ? CompareEqual : CompareDifferent;
}

bool CLabelFloat32Vector::VerifyCompatibility(const ITavLabelType& type) const {
    auto* t = dynamic_cast<const CLabelTypeFloat32Vector*>(&type);
    return t != nullptr && t->Dimension() >= 0 && values_.size() == static_cast<std::size_t>(t->Dimension());
}

SharedHandle<ITavLabel> CLabelFloat32Vector::Clone() const {
    return make_object<CLabelFloat32Vector>(values_);
}

bool CLabelFloat32Vector::IsLess(const ITavLabel& other) const {
    auto* o = dynamic_cast<const CLabelFloat32Vector*>(&other);
    if (o == nullptr)
        throw std::runtime_error("Types no comparable");
    std::size_t n = std::min(values_.size(), o->values_.size());
    for (std::size_t i = 0; i < n; ++i) {
        float mine = values_[i];
        float theirs = o->values_[i];
        if (!(mine == theirs))
            return theirs > mine; // false when either is a NaN
    }
    // Equal over the shorter length: neither is less, even for a proper prefix.
    return false;
}

std::optional<uint64_t> CLabelFloat32Vector::OrderKey() const noexcept {
    if (values_.empty())
        return std::nullopt;
    const uint32_t first = std::bit_cast<uint32_t>(values_[0]);
    if (is_nan(first))
        return std::nullopt;
    uint64_t key = static_cast<uint64_t>(ordered_image(first)) << 32;
    // Equal upper halves mean equal first elements only outside the zero-like
    // values; only then does IsLess go on to the second, and so may the key.
    // Labels of one label type have one length, so a missing second element
    // never meets a present one.
    if (values_.size() >= 2 && !is_zero_like(first)) {
        const uint32_t second = std::bit_cast<uint32_t>(values_[1]);
        if (is_nan(second))
            return std::nullopt;
        key |= ordered_image(second);
    }
    return key;
}

} // namespace Korvu2::TAV::Objects

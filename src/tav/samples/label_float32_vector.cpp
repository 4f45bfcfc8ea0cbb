#include "tav/samples/label_float32_vector.hpp"

#include <algorithm>
#include <stdexcept>

#include "tav/frame/make_object.hpp"
#include "tav/samples/float_values.hpp"
#include "tav/types/label_type_float32_vector.hpp"

namespace Korvu2::TAV::Objects {

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

} // namespace Korvu2::TAV::Objects

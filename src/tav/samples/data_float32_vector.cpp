#include "tav/samples/data_float32_vector.hpp"

#include "tav/frame/make_object.hpp"
#include "tav/samples/float_values.hpp"
#include "tav/types/data_type_float32_vector.hpp"

namespace Korvu2::TAV::Objects {

CDataFloat32Vector::CDataFloat32Vector(std::vector<float> values) : values_(std::move(values)) {}

CDataFloat32Vector::CDataFloat32Vector(const StoredPayload& payload) : values_(float_values_from(payload)) {}

int32_t CDataFloat32Vector::Compare(const ITavData& other) const {
    auto* o = dynamic_cast<const CDataFloat32Vector*>(&other);
    if (o == nullptr)
        return CompareOtherClass;
    return float_values_equal(values_, o->values_) ? CompareEqual : CompareDifferent;
}

bool CDataFloat32Vector::VerifyCompatibility(const ITavDataType& type) const {
    auto* t = dynamic_cast<const CDataTypeFloat32Vector*>(&type);
    return t != nullptr && t->Dimension() >= 0 && values_.size() == static_cast<std::size_t>(t->Dimension());
}

SharedHandle<ITavData> CDataFloat32Vector::Clone() const {
    return make_object<CDataFloat32Vector>(values_);
}

} // namespace Korvu2::TAV::Objects

#include "tav/samples/data_float32_vector.hpp"

#include <cstring>

#include "tav/frame/make_object.hpp"
#include "tav/samples/float_values.hpp"
#include "tav/types/data_type_float32_vector.hpp"
#include "ztbase/packed_blocks.hpp"

namespace Korvu2::TAV::Objects {

namespace {

// The vector itself, kept alive by the pointer to its values: no copy.
std::shared_ptr<const float[]> shared_values(std::vector<float> values) {
    auto holder = std::make_shared<const std::vector<float>>(std::move(values));
    const float* data = holder->data();
    return std::shared_ptr<const float[]>(std::move(holder), data);
}

// The payload's bytes need not be aligned for floats: they are copied as bytes.
std::shared_ptr<const float[]> packed_copy_of(const StoredPayload& payload) {
    check_float_payload(payload);
    std::shared_ptr<uint8_t[]> piece = ZTK::detail::packed_piece(payload.size);
    if (!piece)
        return shared_values(float_values_from(payload));
    std::memcpy(piece.get(), payload.bytes, payload.size);
    const auto* values = reinterpret_cast<const float*>(piece.get());
    return std::shared_ptr<const float[]>(std::move(piece), values);
}

} // namespace

CDataFloat32Vector::CDataFloat32Vector(std::vector<float> values)
    : size_(values.size()), values_(shared_values(std::move(values))) {}

CDataFloat32Vector::CDataFloat32Vector(const StoredPayload& payload)
    : size_(payload.size / sizeof(float)), values_(packed_copy_of(payload)) {}

CDataFloat32Vector::CDataFloat32Vector(std::shared_ptr<const float[]> values, std::size_t size)
    : size_(size), values_(std::move(values)) {}

int32_t CDataFloat32Vector::Compare(const ITavData& other) const {
    auto* o = dynamic_cast<const CDataFloat32Vector*>(&other);
    if (o == nullptr)
        return CompareOtherClass;
    return float_values_equal(Values(), o->Values()) ? CompareEqual : CompareDifferent;
}

bool CDataFloat32Vector::VerifyCompatibility(const ITavDataType& type) const {
    auto* t = dynamic_cast<const CDataTypeFloat32Vector*>(&type);
    return t != nullptr && Fits(*t);
}

bool CDataFloat32Vector::Fits(const CDataTypeFloat32Vector& type) const {
    return type.Dimension() >= 0 && size_ == static_cast<std::size_t>(type.Dimension());
}

SharedHandle<ITavData> CDataFloat32Vector::Clone() const {
    return make_object<CDataFloat32Vector>(values_, size_);
}

} // namespace Korvu2::TAV::Objects

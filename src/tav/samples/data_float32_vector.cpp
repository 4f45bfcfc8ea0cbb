#include "tav/samples/data_float32_vector.hpp"

#include <algorithm>
#include <cstring>

#include "tav/frame/make_object.hpp"
#include "tav/samples/float_values.hpp"
#include "tav/types/data_type_float32_vector.hpp"
#include "ztbase/packed_blocks.hpp"

namespace Korvu2::TAV::Objects {

namespace {

std::shared_ptr<const float[]> copy_of(const float* values, std::size_t size) {
    std::shared_ptr<float[]> copy = std::make_shared<float[]>(size);
    std::copy_n(values, size, copy.get());
    return copy;
}

// The payload's bytes need not be aligned for floats: they are copied as bytes.
std::shared_ptr<const float[]> packed_copy_of(const StoredPayload& payload) {
    check_float_payload(payload);
    std::shared_ptr<uint8_t[]> piece = ZTK::detail::packed_piece(payload.size);
    if (!piece) {
        std::shared_ptr<float[]> copy = std::make_shared<float[]>(payload.size / sizeof(float));
        std::memcpy(copy.get(), payload.bytes, payload.size);
        return copy;
    }
    std::memcpy(piece.get(), payload.bytes, payload.size);
    const auto* values = reinterpret_cast<const float*>(piece.get());
    return std::shared_ptr<const float[]>(std::move(piece), values);
}

} // namespace

CDataFloat32Vector::CDataFloat32Vector(const std::vector<float>& values)
    : values_(copy_of(values.data(), values.size())), size_(values.size()) {}

CDataFloat32Vector::CDataFloat32Vector(const StoredPayload& payload)
    : values_(packed_copy_of(payload)), size_(payload.size / sizeof(float)) {}

CDataFloat32Vector::CDataFloat32Vector(std::shared_ptr<const float[]> values, std::size_t size)
    : values_(std::move(values)), size_(size) {}

int32_t CDataFloat32Vector::Compare(const ITavData& other) const {
    auto* o = dynamic_cast<const CDataFloat32Vector*>(&other);
    if (o == nullptr)
        return CompareOtherClass;
    return float_values_equal(Values(), o->Values()) ? CompareEqual : CompareDifferent;
}

bool CDataFloat32Vector::VerifyCompatibility(const ITavDataType& type) const {
    auto* t = dynamic_cast<const CDataTypeFloat32Vector*>(&type);
    return t != nullptr && t->Dimension() >= 0 && size_ == static_cast<std::size_t>(t->Dimension());
}

SharedHandle<ITavData> CDataFloat32Vector::Clone() const {
    return make_object<CDataFloat32Vector>(values_, size_);
}

} // namespace Korvu2::TAV::Objects

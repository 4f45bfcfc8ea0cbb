#pragma once
// A float-vector sample. Its values never change, so clones share them.
#include <memory>
#include <span>
#include <vector>

#include "tav/frame/interfaces.hpp"
#include "tav/samples/stored_payload.hpp"

namespace Korvu2::TAV::Objects {

class CDataTypeFloat32Vector;

class CDataFloat32Vector : public ITavData {
public:
    explicit CDataFloat32Vector(std::vector<float> values);
    // From a stored "ARRYFL32" payload; its size must be a positive multiple
    // of 4. The values of a load's vectors share blocks of memory
    // (ZTK::detail::packed_piece).
    explicit CDataFloat32Vector(const StoredPayload& payload);
    CDataFloat32Vector(std::shared_ptr<const float[]> values, std::size_t size);

    int32_t Compare(const ITavData& other) const override;
    bool VerifyCompatibility(const ITavDataType& type) const override;
    // The same for a type known to be a vector type (no cast per item).
    bool Fits(const CDataTypeFloat32Vector& type) const;
    SharedHandle<ITavData> Clone() const override;

    std::span<const float> Values() const { return {values_.get(), size_}; }

    void prepare() override {}
    vxIO::xriff_fixed_string<8> chunk_type() const override { return "ARRYFL32"; }
    vxIO::xriff_fixed_string<16> chunk_name() const override { return {}; }
    uint64_t chunk_size() const override { return size_ * sizeof(float); }
    const void* chunk_data() const override { return values_.get(); }
    void clear() override {}

private:
    std::size_t size_;
    std::shared_ptr<const float[]> values_;
};

} // namespace Korvu2::TAV::Objects

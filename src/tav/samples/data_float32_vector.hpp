#pragma once
// A float-vector sample.
#include <vector>

#include "tav/frame/interfaces.hpp"
#include "tav/samples/stored_payload.hpp"

namespace Korvu2::TAV::Objects {

class CDataFloat32Vector : public ITavData {
public:
    explicit CDataFloat32Vector(std::vector<float> values);
    // From a stored "ARRYFL32" payload; its size must be a positive multiple of 4.
    explicit CDataFloat32Vector(const StoredPayload& payload);

    int32_t Compare(const ITavData& other) const override;
    bool VerifyCompatibility(const ITavDataType& type) const override;
    SharedHandle<ITavData> Clone() const override;

    const std::vector<float>& Values() const { return values_; }

    void prepare() override {}
    vxIO::xriff_fixed_string<8> chunk_type() const override { return "ARRYFL32"; }
    vxIO::xriff_fixed_string<16> chunk_name() const override { return {}; }
    uint64_t chunk_size() const override { return values_.size() * sizeof(float); }
    const void* chunk_data() const override { return values_.data(); }
    void clear() override {}

private:
    std::vector<float> values_;
};

} // namespace Korvu2::TAV::Objects

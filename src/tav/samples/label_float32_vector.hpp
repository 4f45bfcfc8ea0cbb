#pragma once
// A float-vector label (a regression target).
#include <vector>

#include "tav/frame/interfaces.hpp"
#include "tav/samples/stored_payload.hpp"

namespace Korvu2::TAV::Objects {

class CLabelFloat32Vector : public ITavLabel {
public:
    explicit CLabelFloat32Vector(std::vector<float> values);
    // From a stored "ARRYFL32" payload; its size must be a positive multiple of 4.
    explicit CLabelFloat32Vector(const StoredPayload& payload);

    int32_t Compare(const ITavLabel& other) const override;
    bool VerifyCompatibility(const ITavLabelType& type) const override;
    // The clone's excluded flag is false.
    SharedHandle<ITavLabel> Clone() const override;
    // Throws std::runtime_error for a label of another class.
    bool IsLess(const ITavLabel& other) const override;
    // The first element in the upper half and, where that decides nothing,
    // the second in the lower half; none for an empty vector or a NaN there.
    std::optional<uint64_t> OrderKey() const noexcept override;

    const std::vector<float>& Values() const { return values_; }
    // Replaces the values of a label a list holds (changing a label in place).
    void SetValues(std::vector<float> values) { values_ = std::move(values); }

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

#pragma once
// Data are vectors of 32-bit floats of one dimension.
#include <cstdint>
#include <vector>

#include "tav/frame/interfaces.hpp"

namespace Korvu2::TAV::Objects {

class CDataTypeFloat32Vector : public ITavDataType {
public:
    static constexpr int32_t kTypeEnum = 1;
    static constexpr uint64_t kStoredSize = 8;

    // Raises std::invalid_argument for a dimension below 1.
    explicit CDataTypeFloat32Vector(int32_t dimension);
    // From the two stored words (enum 1, dimension >= 1); payload null stands
    // for a missing chunk. Raises std::runtime_error "Invalid type descriptors".
    CDataTypeFloat32Vector(const void* payload, uint64_t size);

    int32_t Dimension() const { return dimension_; }

    int32_t Compare(const ITavDataType& other) const override;
    int32_t TypeEnum() const override { return kTypeEnum; }

    void prepare() override;
    vxIO::xriff_fixed_string<8> chunk_type() const override { return "DATATYPE"; }
    vxIO::xriff_fixed_string<16> chunk_name() const override { return {}; }
    uint64_t chunk_size() const override { return vxIO::prepare_buffer().size(); }
    const void* chunk_data() const override { return vxIO::prepare_buffer().data(); }
    void clear() override { vxIO::release_prepare_buffer(); }

private:
    int32_t dimension_;
};

} // namespace Korvu2::TAV::Objects

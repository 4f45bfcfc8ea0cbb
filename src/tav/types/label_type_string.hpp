#pragma once
// Labels are texts. Any two string label types are the same type.
#include <cstdint>
#include <vector>

#include "tav/frame/interfaces.hpp"

namespace Korvu2::TAV::Objects {

class CLabelTypeString : public ITavLabelType {
public:
    static constexpr int32_t kTypeEnum = 0;
    static constexpr uint64_t kStoredSize = 4;

    CLabelTypeString() = default;
    // From the one stored word (enum 0); payload null stands for a missing
    // chunk. Raises std::runtime_error "Invalid type descriptors".
    CLabelTypeString(const void* payload, uint64_t size);

    int32_t Compare(const ITavLabelType& other) const override;
    int32_t TypeEnum() const override { return kTypeEnum; }

    void prepare() override;
    vxIO::xriff_fixed_string<8> chunk_type() const override { return std::string_view("LBLTYPE\0", 8); }
    vxIO::xriff_fixed_string<16> chunk_name() const override { return {}; }
    uint64_t chunk_size() const override { return vxIO::prepare_buffer().size(); }
    const void* chunk_data() const override { return vxIO::prepare_buffer().data(); }
    void clear() override { vxIO::release_prepare_buffer(); }
};

} // namespace Korvu2::TAV::Objects

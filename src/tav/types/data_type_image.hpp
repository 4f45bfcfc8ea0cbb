#pragma once
// Data are images of one geometry; the type also carries the feature window
// (the part of the image a classifier looks at) and an origin inside it.
#include <cstdint>
#include <vector>

#include "tav/frame/interfaces.hpp"

namespace Korvu2::TAV::Objects {

struct ImageGeometry {
    int32_t width = 0;
    int32_t height = 0;
    int32_t planes = 0;
    uint32_t pixel_data_type = 0; // the image library's data-type word, low 10 bits
};

// Inclusive corners in image coordinates; the origin is relative to (left, top).
struct FeatureWindow {
    int32_t left = 0;
    int32_t top = 0;
    int32_t right = 0;
    int32_t bottom = 0;
    int32_t origin_x = 0;
    int32_t origin_y = 0;
};

// Margins between the feature window and the image border.
struct Fringes {
    int32_t left = 0;
    int32_t top = 0;
    int32_t right = 0;
    int32_t bottom = 0;
};

class CDataTypeImage : public ITavDataType {
public:
    static constexpr int32_t kTypeEnum = 0;
    static constexpr uint32_t kPixelDataTypeMask = 0x3FF;
    static constexpr uint64_t kStoredSize = 44;

    // width, height, planes >= 1; 0 <= left <= right < width; 0 <= top <=
    // bottom < height; 0 <= origin <= (right - left, bottom - top).
    static bool IsValid(const ImageGeometry& geometry, const FeatureWindow& window);

    // The pixel data type is masked to its low 10 bits. Raises
    // std::invalid_argument when the fields break the invariants.
    CDataTypeImage(const ImageGeometry& geometry, const FeatureWindow& window);
    // From the eleven stored words; payload null stands for a missing chunk.
    // Raises std::runtime_error "Invalid type descriptors" unless the words
    // are exactly eleven, start with type enum 0, and satisfy the invariants
    // of a created type (pixel data type within its 10 bits included).
    CDataTypeImage(const void* payload, uint64_t size);

    int32_t Width() const { return geometry_.width; }
    int32_t Height() const { return geometry_.height; }
    int32_t Planes() const { return geometry_.planes; }
    uint32_t PixelDataType() const { return geometry_.pixel_data_type; }
    const ImageGeometry& Geometry() const { return geometry_; }

    const FeatureWindow& Window() const { return window_; }
    int32_t WindowLeft() const { return window_.left; }
    int32_t WindowTop() const { return window_.top; }
    int32_t WindowRight() const { return window_.right; }
    int32_t WindowBottom() const { return window_.bottom; }
    int32_t WindowWidth() const { return window_.right - window_.left + 1; }
    int32_t WindowHeight() const { return window_.bottom - window_.top + 1; }
    int32_t OriginX() const { return window_.origin_x; }
    int32_t OriginY() const { return window_.origin_y; }
    Fringes GetFringes() const;

    // Replaces window and origin; false (and nothing changes) when the new
    // window breaks the invariants against this geometry.
    bool SetWindow(const FeatureWindow& window);

    int32_t Compare(const ITavDataType& other) const override;
    int32_t TypeEnum() const override { return kTypeEnum; }

    void prepare() override;
    vxIO::xriff_fixed_string<8> chunk_type() const override { return "DATATYPE"; }
    vxIO::xriff_fixed_string<16> chunk_name() const override { return {}; }
    uint64_t chunk_size() const override { return vxIO::prepare_buffer().size(); }
    const void* chunk_data() const override { return vxIO::prepare_buffer().data(); }
    void clear() override { vxIO::release_prepare_buffer(); }

private:
    ImageGeometry geometry_;
    FeatureWindow window_;
};

} // namespace Korvu2::TAV::Objects

#include "tav/types/data_type_image.hpp"

#include <stdexcept>

#include "tav/types/type_words.hpp"

namespace Korvu2::TAV::Objects {

bool CDataTypeImage::IsValid(const ImageGeometry& g, const FeatureWindow& w) {
    if (g.width < 1 || g.height < 1 || g.planes < 1)
        return false;
    if (w.left < 0 || w.left > w.right || w.right >= g.width)
        return false;
    if (w.top < 0 || w.top > w.bottom || w.bottom >= g.height)
        return false;
    // Both corners lie in [0, width), so the differences cannot overflow.
    return w.origin_x >= 0 && w.origin_x <= w.right - w.left && w.origin_y >= 0 && w.origin_y <= w.bottom - w.top;
}

CDataTypeImage::CDataTypeImage(const ImageGeometry& geometry, const FeatureWindow& window)
    : geometry_(geometry), window_(window) {
    geometry_.pixel_data_type &= kPixelDataTypeMask;
    if (!IsValid(geometry_, window_))
        throw std::invalid_argument("image data type out of its invariants");
}

CDataTypeImage::CDataTypeImage(const void* payload, uint64_t size) {
    const auto w = type_words::read_exact<11>(payload, size, kTypeEnum);
    geometry_ = {w[1], w[2], w[3], static_cast<uint32_t>(w[4])};
    window_ = {w[5], w[6], w[7], w[8], w[9], w[10]};
    // A created type never holds more than 10 bits of pixel data type.
    if ((geometry_.pixel_data_type & ~kPixelDataTypeMask) != 0 || !IsValid(geometry_, window_))
        throw std::runtime_error(kInvalidTypeDescriptors);
}

Fringes CDataTypeImage::GetFringes() const {
    return {window_.left, window_.top, geometry_.width - window_.right - 1, geometry_.height - window_.bottom - 1};
}

bool CDataTypeImage::SetWindow(const FeatureWindow& window) {
    if (!IsValid(geometry_, window))
        return false;
    window_ = window;
    return true;
}

int32_t CDataTypeImage::Compare(const ITavDataType& other) const {
    const auto* o = dynamic_cast<const CDataTypeImage*>(&other);
    if (o == nullptr)
        return CompareOtherClass;
    // Origin and pixel data type take no part: types differing only there are equal.
    const bool same = geometry_.width == o->geometry_.width && geometry_.height == o->geometry_.height &&
                      geometry_.planes == o->geometry_.planes && window_.left == o->window_.left &&
                      window_.top == o->window_.top && window_.right == o->window_.right &&
                      window_.bottom == o->window_.bottom;
    return same ? CompareEqual : CompareDifferent;
}

void CDataTypeImage::prepare() {
    // Rebuilt from scratch, so preparing twice never doubles the payload.
    std::vector<uint8_t>& scratch = vxIO::prepare_buffer();
    scratch.clear();
    scratch.reserve(kStoredSize);
    for (int32_t word : {kTypeEnum, geometry_.width, geometry_.height, geometry_.planes})
        type_words::append(scratch, static_cast<uint32_t>(word));
    type_words::append(scratch, geometry_.pixel_data_type);
    for (int32_t word : {window_.left, window_.top, window_.right, window_.bottom, window_.origin_x, window_.origin_y})
        type_words::append(scratch, static_cast<uint32_t>(word));
}

} // namespace Korvu2::TAV::Objects

#pragma once
// An image object: planes of equal width and height, each with its own
// data-type word, bound to a base-object handle. The handle's dispose
// deletes it.
#include <cstdint>
#include <memory>
#include <vector>

#include <zt/ztbase.h>
#include <zt/ztcimg.h>

#include "coordinate_system.hpp"
#include "image_plane.hpp"

namespace ztcimg {

class CImage final : public ZTK::IDisposableType, public ZTK::IZtImage {
public:
    // Zeroed planes of the given words; throws std::invalid_argument for a
    // bad size, plane count or word (and std::bad_alloc). Packed planes are
    // for images made in bulk whose every pixel the caller writes
    // (CImagePlane::allocate).
    static std::unique_ptr<CImage> create(int32_t width, int32_t height, const std::vector<uint32_t>& data_types,
                                          bool packed = false);
    // Takes planes the caller made with this width and height.
    CImage(int32_t width, int32_t height, std::vector<CImagePlane> planes);

    int32_t width() const { return width_; }
    int32_t height() const { return height_; }
    int32_t plane_count() const { return static_cast<int32_t>(planes_.size()); }
    const CImagePlane& plane(int32_t i) const { return planes_[static_cast<size_t>(i)]; }
    bool has_plane(int32_t i) const { return i >= 0 && i < plane_count(); }
    bool contains(int32_t x, int32_t y) const { return x >= 0 && y >= 0 && x < width_ && y < height_; }
    std::vector<uint32_t> data_types() const;

    // The area of width x height from (left, top) on, sharing these pixels.
    std::unique_ptr<CImage> view(int32_t left, int32_t top, int32_t width, int32_t height) const;
    // Same size, planes and pixels in memory of its own.
    std::unique_ptr<CImage> copy() const;

    const CoordinateSystem& coordinate_system() const { return coordinates_; }

    // ZTK::IDisposableType
    int32_t GetInterfaces(ZTK::ZtInterfacePair* pairs, uint64_t* count) override;

    // ZTK::IZtImage
    int32_t GetDimension(int32_t* planes, int32_t* width, int32_t* height) override;
    int32_t GetPlaneDataType(int32_t plane, uint32_t* dataType) override;
    int32_t GetLinearAccess(int32_t plane, void** base, const ZTK::ZtLinearEntry** table) override;
    int32_t Reserved() override;
    int32_t SetCoordinateSystem(const void* record48) override;

private:
    int32_t width_;
    int32_t height_;
    std::vector<CImagePlane> planes_;
    // One linear-access table per plane, max(width, height) entries each;
    // never written after construction, so images of one geometry share it.
    std::vector<std::shared_ptr<const std::vector<ZTK::ZtLinearEntry>>> tables_;
    CoordinateSystem coordinates_;
};

} // namespace ztcimg

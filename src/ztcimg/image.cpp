#include "image.hpp"

#include <algorithm>
#include <stdexcept>

#include "size_limits.hpp"
#include "status.hpp"

namespace ztcimg {
namespace {

using LinearTable = std::vector<ZTK::ZtLinearEntry>;

// The table for a plane; the table made last on this thread is shared when
// it fits, since images made one after another (a load) mostly share their
// geometry. Held weakly, so that no table outlives its images.
std::shared_ptr<const LinearTable> linear_table(size_t entries, int64_t pixel_bytes, int64_t row_stride) {
    thread_local std::weak_ptr<const LinearTable> last;
    if (auto table = last.lock()) {
        if (table->size() == entries && (entries < 2 || ((*table)[1].x == pixel_bytes && (*table)[1].y == row_stride)))
            return table;
    }
    auto table = std::make_shared<LinearTable>(entries);
    for (size_t i = 0; i < entries; ++i) {
        (*table)[i].x = static_cast<int64_t>(i) * pixel_bytes;
        (*table)[i].y = static_cast<int64_t>(i) * row_stride;
    }
    last = table;
    return table;
}

} // namespace

std::unique_ptr<CImage> CImage::create(int32_t width, int32_t height, const std::vector<uint32_t>& data_types,
                                       bool packed) {
    if (data_types.empty() || data_types.size() > static_cast<size_t>(kMaxPlanes))
        throw std::invalid_argument("invalid plane count");
    // The whole image is checked against the bound before any plane is made.
    uint64_t total = 0;
    for (uint32_t word : data_types) {
        auto format = PixelFormat::describe(word);
        if (!format)
            throw std::invalid_argument("invalid data type");
        auto bytes = plane_bytes(width, height, format->bytes);
        auto sum = bytes ? bounded_sum(total, *bytes) : std::nullopt;
        if (!sum)
            throw std::invalid_argument("image too large");
        total = *sum;
    }
    std::vector<CImagePlane> planes;
    planes.reserve(data_types.size());
    for (uint32_t word : data_types)
        planes.push_back(CImagePlane::allocate(width, height, word, packed));
    return std::make_unique<CImage>(width, height, std::move(planes));
}

CImage::CImage(int32_t width, int32_t height, std::vector<CImagePlane> planes)
    : width_(width), height_(height), planes_(std::move(planes)) {
    const size_t entries = static_cast<size_t>(std::max(width_, height_));
    tables_.reserve(planes_.size());
    for (const CImagePlane& p : planes_)
        tables_.push_back(linear_table(entries, p.format().bytes, p.row_stride()));
}

std::vector<uint32_t> CImage::data_types() const {
    std::vector<uint32_t> words;
    for (const CImagePlane& p : planes_)
        words.push_back(p.data_type());
    return words;
}

std::unique_ptr<CImage> CImage::view(int32_t left, int32_t top, int32_t width, int32_t height) const {
    std::vector<CImagePlane> planes;
    planes.reserve(planes_.size());
    for (const CImagePlane& p : planes_)
        planes.push_back(p.view(left, top));
    return std::make_unique<CImage>(width, height, std::move(planes));
}

std::unique_ptr<CImage> CImage::copy() const {
    auto out = create(width_, height_, data_types());
    for (int32_t i = 0; i < plane_count(); ++i) {
        const CImagePlane& from = plane(i);
        const CImagePlane& to = out->plane(i);
        const size_t row_bytes = static_cast<size_t>(width_) * static_cast<size_t>(from.format().bytes);
        for (int32_t y = 0; y < height_; ++y)
            std::copy_n(from.row(y), row_bytes, to.row(y));
    }
    out->coordinates_ = coordinates_;
    return out;
}

int32_t CImage::GetInterfaces(ZTK::ZtInterfacePair* pairs, uint64_t* count) {
    if (count == nullptr)
        return kInvalidArgument;
    if (pairs == nullptr) {
        *count = 1;
        return kOk;
    }
    if (*count == 0)
        return kInvalidArgument;
    pairs[0].iid = ZT_IMAGE_INTERFACE_ID;
    pairs[0].iface = static_cast<ZTK::IZtImage*>(this);
    *count = 1;
    return kOk;
}

int32_t CImage::GetDimension(int32_t* planes, int32_t* width, int32_t* height) {
    if (planes != nullptr)
        *planes = plane_count();
    if (width != nullptr)
        *width = width_;
    if (height != nullptr)
        *height = height_;
    return kOk;
}

int32_t CImage::GetPlaneDataType(int32_t plane, uint32_t* dataType) {
    if (!has_plane(plane) || dataType == nullptr)
        return kInvalidArgument;
    *dataType = planes_[static_cast<size_t>(plane)].data_type();
    return kOk;
}

int32_t CImage::GetLinearAccess(int32_t plane, void** base, const ZTK::ZtLinearEntry** table) {
    if (!has_plane(plane) || base == nullptr || table == nullptr)
        return kInvalidArgument;
    *base = planes_[static_cast<size_t>(plane)].origin();
    *table = tables_[static_cast<size_t>(plane)]->data();
    return kOk;
}

int32_t CImage::Reserved() { return kNotSupported; }

int32_t CImage::SetCoordinateSystem(const void* record48) {
    if (record48 == nullptr)
        return kInvalidArgument;
    const CoordinateSystem c = CoordinateSystem::from_bytes(record48);
    if (!c.usable())
        return kInvalidArgument;
    coordinates_ = c;
    return kOk;
}

} // namespace ztcimg

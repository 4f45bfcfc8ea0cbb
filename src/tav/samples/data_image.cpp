#include "tav/samples/data_image.hpp"

#include <stdexcept>

#include "tav/frame/make_object.hpp"
#include "tav/samples/image_compare.hpp"
#include "tav/types/data_type_image.hpp"

namespace Korvu2::TAV::Objects {
namespace {

ImageRef checked(ImageRef image) {
    if (!image)
        throw std::invalid_argument("image data without an image");
    return image;
}

ImageRef image_from(const StoredPayload& payload) {
    ZTIMAGE loaded = 0;
    if (payload.bytes == nullptr || ZtImageLoadFromMemory(payload.bytes, payload.size, &loaded) == 0 ||
        loaded == 0) {
        if (loaded != 0)
            ZtRelease(loaded);
        throw invalid_stored_form("image blob cannot be loaded");
    }
    ImageRef image = ImageRef::adopt(loaded);
    if (!image)
        throw invalid_stored_form("image blob cannot be loaded");
    return image;
}

} // namespace

CDataImage::CDataImage(ImageRef image) : image_(checked(std::move(image))) {}

CDataImage::CDataImage(const StoredPayload& payload) : image_(image_from(payload)) {}

int32_t CDataImage::Compare(const ITavData& other) const {
    auto* o = dynamic_cast<const CDataImage*>(&other);
    if (o == nullptr)
        return CompareOtherClass;
    // Clones share their image.
    if (o->image_.get() == image_.get())
        return CompareEqual;
    return compare_images(*image_.get(), *o->image_.get());
}

bool CDataImage::VerifyCompatibility(const ITavDataType& type) const {
    auto* t = dynamic_cast<const CDataTypeImage*>(&type);
    if (t == nullptr)
        return false;
    int32_t planes = 0, width = 0, height = 0;
    if (image_->GetDimension(&planes, &width, &height) < 0)
        return false;
    if (width != t->Width() || height != t->Height() || planes != t->Planes())
        return false;
    // The feature window and origin are not the image's concern.
    for (int32_t p = 0; p < planes; ++p) {
        uint32_t word = 0;
        if (image_->GetPlaneDataType(p, &word) < 0)
            word = 0;
        if ((word & 0x3FF) != t->PixelDataType())
            return false;
    }
    return true;
}

SharedHandle<ITavData> CDataImage::Clone() const {
    return make_object<CDataImage>(image_);
}

void CDataImage::prepare() {
    uint64_t size = stored_size_.load(std::memory_order_relaxed);
    if (size == 0) {
        size = ZtImageStoredSize(image_.handle());
        stored_size_.store(size, std::memory_order_relaxed);
    }
    std::vector<uint8_t>& stored = vxIO::prepare_buffer();
    stored.assign(size, 0);
    if (size == 0 || ZtImageWriteToMemory(image_.handle(), stored.data(), size) == 0) {
        clear();
        throw std::runtime_error("Image Streaming failed");
    }
}

} // namespace Korvu2::TAV::Objects

#include "tav/samples/data_image.hpp"

#include <cstring>
#include <stdexcept>

#include "tav/frame/make_object.hpp"
#include "tav/samples/image_compare.hpp"
#include "tav/types/data_type_image.hpp"
#include "ztbase/packed_blocks.hpp"

namespace Korvu2::TAV::Objects {
namespace {

ImageRef checked(ImageRef image) {
    if (!image)
        throw std::invalid_argument("image data without an image");
    return image;
}

uint32_t word_at(const uint8_t* p) {
    return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}

// Where in a stored form of its bytes the fields are.
constexpr std::size_t kWidthAt = 12, kHeightAt = 16, kPlanesAt = 20, kWordsAt = 24;

// The payload of one item lent by prepare() on this thread, when it is the
// stored form itself rather than the prepare buffer.
struct Lent {
    const void* data = nullptr;
    uint64_t size = 0;
};
thread_local Lent lent;

void release_stored(void* keeper) { delete static_cast<std::shared_ptr<uint8_t[]>*>(keeper); }

} // namespace

CDataImage::CDataImage(ImageRef image) : image_(checked(std::move(image))) {}

CDataImage::CDataImage(const StoredPayload& payload) : stored_bytes_(payload.size) {
    const auto* bytes = static_cast<const uint8_t*>(payload.bytes);
    if (bytes == nullptr || ZtImageCheckStoredForm(bytes, payload.size) == 0)
        throw invalid_stored_form("image blob cannot be loaded");
    // The copy starts 4 bytes in when the plane table has an odd number of
    // words, so that the pixels lie on 8-byte boundaries and the image can
    // use them where they are.
    stored_offset_ = (word_at(bytes + kPlanesAt) & 1) != 0 ? 4 : 0;
    const std::size_t size = stored_offset_ + payload.size;
    stored_ = ZTK::detail::packed_piece(size);
    if (!stored_)
        stored_ = std::make_shared_for_overwrite<uint8_t[]>(size);
    std::memcpy(stored_.get() + stored_offset_, bytes, payload.size);
}

const ImageRef& CDataImage::image() const {
    if (stored_) {
        std::call_once(once_, [this] {
            auto* keeper = new std::shared_ptr<uint8_t[]>(stored_);
            ZTIMAGE made = 0;
            // The stored form was checked when this sample was made: only
            // memory can fail now.
            const int32_t how =
                ZtImageViewStoredForm(const_cast<uint8_t*>(stored()), stored_bytes_, release_stored, keeper, &made);
            ImageRef image = how != 0 ? ImageRef::adopt(made) : ImageRef();
            if (!image)
                throw ztkBase::bad_alloc();
            image_ = std::move(image);
            made_.store(how == 1 ? kMadeInPlace : kMadeCopy, std::memory_order_release);
        });
    }
    return image_;
}

int32_t CDataImage::Compare(const ITavData& other) const {
    auto* o = dynamic_cast<const CDataImage*>(&other);
    if (o == nullptr)
        return CompareOtherClass;
    // Clones share their image.
    if (o == this || o->image().get() == image().get())
        return CompareEqual;
    return compare_images(*image().get(), *o->image().get());
}

bool CDataImage::VerifyCompatibility(const ITavDataType& type) const {
    auto* t = dynamic_cast<const CDataTypeImage*>(&type);
    return t != nullptr && Fits(*t);
}

bool CDataImage::Fits(const CDataTypeImage& type) const {
    const CDataTypeImage* t = &type;
    int32_t planes = 0, width = 0, height = 0;
    if (stored_) {
        // A stored form's size and words are the image's, made or not.
        width = static_cast<int32_t>(word_at(stored() + kWidthAt));
        height = static_cast<int32_t>(word_at(stored() + kHeightAt));
        planes = static_cast<int32_t>(word_at(stored() + kPlanesAt));
    } else if (image_->GetDimension(&planes, &width, &height) < 0) {
        return false;
    }
    if (width != t->Width() || height != t->Height() || planes != t->Planes())
        return false;
    // The feature window and origin are not the image's concern.
    for (int32_t p = 0; p < planes; ++p) {
        uint32_t word = 0;
        if (stored_)
            word = word_at(stored() + kWordsAt + 4 * static_cast<std::size_t>(p));
        else if (image_->GetPlaneDataType(p, &word) < 0)
            word = 0;
        if ((word & 0x3FF) != t->PixelDataType())
            return false;
    }
    return true;
}

SharedHandle<ITavData> CDataImage::Clone() const {
    return make_object<CDataImage>(image());
}

void CDataImage::prepare() {
    lent = {};
    if (StoredIsCurrent()) {
        lent = {stored(), stored_bytes_};
        return;
    }
    const uint64_t size = image_stored_size();
    std::vector<uint8_t>& stored = vxIO::prepare_buffer();
    stored.assign(size, 0);
    if (size == 0 || ZtImageWriteToMemory(image().handle(), stored.data(), size) == 0) {
        clear();
        throw std::runtime_error("Image Streaming failed");
    }
}

uint64_t CDataImage::image_stored_size() const {
    uint64_t size = stored_size_.load(std::memory_order_relaxed);
    if (size == 0) {
        size = ZtImageStoredSize(image().handle());
        stored_size_.store(size, std::memory_order_relaxed);
    }
    return size;
}

uint64_t CDataImage::direct_payload_size() {
    // A stored form is lent by prepare(): it is copied once either way.
    return stored_ ? 0 : image_stored_size();
}

void CDataImage::write_payload(void* out, uint64_t size) {
    if (ZtImageWriteToMemory(image().handle(), out, size) == 0)
        throw std::runtime_error("Image Streaming failed");
}

uint64_t CDataImage::chunk_size() const { return lent.data ? lent.size : vxIO::prepare_buffer().size(); }

const void* CDataImage::chunk_data() const { return lent.data ? lent.data : vxIO::prepare_buffer().data(); }

void CDataImage::clear() {
    lent = {};
    vxIO::release_prepare_buffer();
}

} // namespace Korvu2::TAV::Objects

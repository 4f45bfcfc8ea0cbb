#pragma once
// An image sample. It holds one reference to an image of its own; clones
// share that image, so the pixels must never be written through it.
//
// A sample made from its stored form (a load) keeps that form, checked, and
// makes its image only when first asked for: the image's pixels are the
// stored form's own, so the stored form stays current (writing a pixel of
// the image writes it) and storing the sample again copies it as it is.
#include <atomic>
#include <memory>
#include <mutex>

#include "tav/frame/interfaces.hpp"
#include "tav/samples/image_ref.hpp"
#include "tav/samples/stored_payload.hpp"

namespace Korvu2::TAV::Objects {

class CDataTypeImage;

class CDataImage : public ITavData {
public:
    // Takes over the reference; an empty holder raises std::invalid_argument.
    explicit CDataImage(ImageRef image);
    // From a stored "ZTIMG9  " payload, copied and checked as the image
    // library's loader checks it; a blob it rejects raises invalid_stored_form.
    explicit CDataImage(const StoredPayload& payload);

    int32_t Compare(const ITavData& other) const override;
    bool VerifyCompatibility(const ITavDataType& type) const override;
    // The same for a type known to be an image type (no cast per item).
    bool Fits(const CDataTypeImage& type) const;
    // Shares the image: no pixels are copied.
    SharedHandle<ITavData> Clone() const override;

    // Borrowed: valid while this object lives. The first call of a sample
    // made from its stored form makes the image (raising ztkBase::bad_alloc
    // when it cannot); every call returns the same image.
    ZTIMAGE Image() const { return image().handle(); }
    ZTK::IZtImage& ImageInterface() const { return *image().get(); }

    // The stored form while it holds the image's pixels (no image made, or
    // one made over it); empty otherwise.
    StoredPayload StoredForm() const {
        return StoredIsCurrent() ? StoredPayload{stored(), stored_bytes_} : StoredPayload{};
    }

    // Serialises the image into this thread's prepare buffer, or lends the
    // stored form while it is current; raises std::runtime_error("Image
    // Streaming failed") when the library cannot.
    void prepare() override;
    vxIO::xriff_fixed_string<8> chunk_type() const override { return "ZTIMG9  "; }
    vxIO::xriff_fixed_string<16> chunk_name() const override { return {}; }
    uint64_t chunk_size() const override;
    const void* chunk_data() const override;
    void clear() override;
    // An image not made from a stored form (or no longer held there) is
    // serialised straight into the writer's memory.
    uint64_t direct_payload_size() override;
    void write_payload(void* out, uint64_t size) override;

private:
    uint64_t image_stored_size() const;
    const ImageRef& image() const;
    const uint8_t* stored() const { return stored_.get() + stored_offset_; }
    // The stored form holds the pixels the image has.
    bool StoredIsCurrent() const { return stored_ && made_.load(std::memory_order_acquire) != kMadeCopy; }

    static constexpr int kMadeInPlace = 1;
    static constexpr int kMadeCopy = 2;

    mutable ImageRef image_;
    mutable std::once_flag once_;
    // 0 until the image is made, then how: its pixels in the stored form, or a copy.
    mutable std::atomic<int> made_{0};
    std::shared_ptr<uint8_t[]> stored_;
    uint32_t stored_offset_ = 0; // where the stored form starts inside stored_
    uint64_t stored_bytes_ = 0;
    // The image's stored size, asked for once: an image keeps its size and
    // planes for life. 0 until the first store.
    mutable std::atomic<uint64_t> stored_size_{0};
};

} // namespace Korvu2::TAV::Objects

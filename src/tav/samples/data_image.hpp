#pragma once
// An image sample. It holds one reference to an image of its own; clones
// share that image, so the pixels must never be written through it.
#include <atomic>

#include "tav/frame/interfaces.hpp"
#include "tav/samples/image_ref.hpp"
#include "tav/samples/stored_payload.hpp"

namespace Korvu2::TAV::Objects {

class CDataImage : public ITavData {
public:
    // Takes over the reference; an empty holder raises std::invalid_argument.
    explicit CDataImage(ImageRef image);
    // From a stored "ZTIMG9  " payload through the image library's loader;
    // a blob it rejects raises invalid_stored_form.
    explicit CDataImage(const StoredPayload& payload);

    int32_t Compare(const ITavData& other) const override;
    bool VerifyCompatibility(const ITavDataType& type) const override;
    // Shares the image: no pixels are copied.
    SharedHandle<ITavData> Clone() const override;

    // Borrowed: valid while this object lives.
    ZTIMAGE Image() const { return image_.handle(); }
    ZTK::IZtImage& ImageInterface() const { return *image_.get(); }

    // Serialises the image into this thread's prepare buffer; raises
    // std::runtime_error("Image Streaming failed") when the library cannot.
    void prepare() override;
    vxIO::xriff_fixed_string<8> chunk_type() const override { return "ZTIMG9  "; }
    vxIO::xriff_fixed_string<16> chunk_name() const override { return {}; }
    uint64_t chunk_size() const override { return vxIO::prepare_buffer().size(); }
    const void* chunk_data() const override { return vxIO::prepare_buffer().data(); }
    void clear() override { vxIO::release_prepare_buffer(); }

private:
    ImageRef image_;
    // The image's stored size, asked for once: an image keeps its size and
    // planes for life. 0 until the first store.
    mutable std::atomic<uint64_t> stored_size_{0};
};

} // namespace Korvu2::TAV::Objects

#include "image_ref.hpp"

namespace ztcimg {

ImageRef::ImageRef(ZTIMAGE handle) {
    if (handle == 0 || ZtCheckedAddRef(handle) < 0)
        return;
    handle_ = handle;
    void* iface = nullptr;
    if (ZtQueryInterface(handle, ZT_IMAGE_INTERFACE_ID, &iface) < 0 || iface == nullptr)
        return;
    // Another library may list identifier 1 too; only our own class is used.
    image_ = dynamic_cast<CImage*>(static_cast<ZTK::IZtImage*>(iface));
}

ImageRef::~ImageRef() {
    if (handle_ != 0)
        ZtRelease(handle_);
}

ZTIMAGE publish(std::unique_ptr<CImage> image) {
    if (!image)
        return 0;
    const ZTHANDLE h = ZtCreateHandle();
    if (h == 0)
        return 0;
    // The handle library works with the IDisposableType subobject.
    ZTK::IDisposableType* object = image.get();
    if (ZtBindImplementation(h, object) != 0) {
        ZtRelease(h);
        return 0;
    }
    image.release();
    return h;
}

} // namespace ztcimg

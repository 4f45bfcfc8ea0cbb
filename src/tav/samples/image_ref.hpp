#pragma once
// An owning reference to an image of the image library together with its
// image interface. Images are not library objects, so the holders of the
// frame do not serve them.
#include <utility>

#include <zt/ztbase.h>
#include <zt/ztcimg.h>

namespace Korvu2::TAV::Objects {

class ImageRef {
public:
    ImageRef() = default;
    ImageRef(const ImageRef& other) : handle_(other.handle_), image_(other.image_) {
        if (handle_ != 0)
            ZtAddRef(handle_);
    }
    ImageRef(ImageRef&& other) noexcept
        : handle_(std::exchange(other.handle_, 0)), image_(std::exchange(other.image_, nullptr)) {}
    ImageRef& operator=(ImageRef other) noexcept {
        std::swap(handle_, other.handle_);
        std::swap(image_, other.image_);
        return *this;
    }
    ~ImageRef() { reset(); }

    // Takes over a reference the caller owns. The result is empty (and the
    // reference released) when the handle does not answer the image
    // interface.
    static ImageRef adopt(ZTIMAGE handle) {
        ImageRef r;
        r.handle_ = handle;
        if (handle != 0)
            r.image_ = query(handle);
        if (r.image_ == nullptr)
            r.reset();
        return r;
    }
    // Checked add reference, then the interface query; empty if either fails.
    static ImageRef from_handle(ZTIMAGE handle) {
        if (handle == 0 || ZtCheckedAddRef(handle) < 0)
            return {};
        return adopt(handle);
    }

    void reset() noexcept {
        if (handle_ != 0)
            ZtRelease(std::exchange(handle_, 0));
        image_ = nullptr;
    }

    ZTIMAGE handle() const { return handle_; }
    ZTK::IZtImage* get() const { return image_; }
    ZTK::IZtImage* operator->() const { return image_; }
    explicit operator bool() const { return image_ != nullptr; }

private:
    static ZTK::IZtImage* query(ZTIMAGE handle) {
        void* p = nullptr;
        if (ZtQueryInterface(handle, ZT_IMAGE_INTERFACE_ID, &p) < 0)
            return nullptr;
        return static_cast<ZTK::IZtImage*>(p);
    }

    ZTIMAGE handle_ = 0;
    ZTK::IZtImage* image_ = nullptr;
};

} // namespace Korvu2::TAV::Objects

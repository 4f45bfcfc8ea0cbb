#pragma once
// Taking image handles in and giving new images out.
#include <memory>

#include <zt/ztbase.h>
#include <zt/ztcimg.h>

#include "image.hpp"

namespace ztcimg {

// Holds a checked reference on a handle for the length of a call; get() is
// null unless the handle is a live image of this library.
class ImageRef {
public:
    explicit ImageRef(ZTIMAGE handle);
    ~ImageRef();
    ImageRef(const ImageRef&) = delete;
    ImageRef& operator=(const ImageRef&) = delete;

    CImage* get() const { return image_; }
    explicit operator bool() const { return image_ != nullptr; }
    CImage* operator->() const { return image_; }

private:
    ZTIMAGE handle_ = 0; // nonzero while a reference is held
    CImage* image_ = nullptr;
};

// Binds a new image to a new handle; the caller owns its one reference.
// Null (and the image freed) if no handle can be made.
ZTIMAGE publish(std::unique_ptr<CImage> image);

// Publishes into *out; the status convention of the exported functions
// (nonzero for success) follows from whether that worked.
inline int32_t publish_to(std::unique_ptr<CImage> image, ZTIMAGE* out) {
    *out = publish(std::move(image));
    return *out != 0 ? 1 : 0;
}

} // namespace ztcimg

// The exported image functions. Each takes its handles through ImageRef and
// runs under guarded(), so no exception leaves the library. They report
// nothing through the error facility: the failure value is the answer, and
// the facility stays the channel of the libraries that call them.
#include <cstring>
#include <vector>

#include <zt/ztcimg.h>

#include "call_guard.hpp"
#include "image_ref.hpp"
#include "resample.hpp"
#include "size_limits.hpp"
#include "status.hpp"

using namespace ztcimg;

extern "C" {

ZTIMAGE ZtImageCreate(int32_t width, int32_t height, int32_t planes, uint32_t dataType) {
    return guarded<ZTIMAGE>(0, [&]() -> ZTIMAGE {
        if (planes <= 0 || planes > kMaxPlanes)
            return 0;
        // The whole size is checked before a word list is made for each plane.
        auto format = PixelFormat::describe(dataType);
        auto bytes = format ? plane_bytes(width, height, format->bytes) : std::nullopt;
        if (!bytes || !bounded_product(*bytes, static_cast<uint64_t>(planes)))
            return 0;
        return publish(CImage::create(width, height, std::vector<uint32_t>(static_cast<size_t>(planes), dataType)));
    });
}

ZTIMAGE ZtImageCreatePlanes(int32_t width, int32_t height, int32_t planes, const uint32_t* dataTypes) {
    return guarded<ZTIMAGE>(0, [&]() -> ZTIMAGE {
        if (planes <= 0 || planes > kMaxPlanes || dataTypes == nullptr)
            return 0;
        // Every plane takes at least a byte per pixel: a plane count beyond
        // the size bound is refused before the caller's words are read.
        auto pixels = plane_bytes(width, height, 1);
        if (!pixels || !bounded_product(*pixels, static_cast<uint64_t>(planes)))
            return 0;
        return publish(CImage::create(width, height, std::vector<uint32_t>(dataTypes, dataTypes + planes)));
    });
}

int32_t ZtImageWidth(ZTIMAGE image) {
    return guarded<int32_t>(0, [&] {
        ImageRef img(image);
        return img ? img->width() : 0;
    });
}

int32_t ZtImageHeight(ZTIMAGE image) {
    return guarded<int32_t>(0, [&] {
        ImageRef img(image);
        return img ? img->height() : 0;
    });
}

int32_t ZtImagePlaneCount(ZTIMAGE image) {
    return guarded<int32_t>(0, [&] {
        ImageRef img(image);
        return img ? img->plane_count() : 0;
    });
}

uint32_t ZtImagePlaneDataType(ZTIMAGE image, int32_t plane) {
    return guarded<uint32_t>(0, [&]() -> uint32_t {
        ImageRef img(image);
        return img && img->has_plane(plane) ? img->plane(plane).data_type() : 0;
    });
}

int32_t ZtImageGetPixel(ZTIMAGE image, int32_t plane, int32_t x, int32_t y, double* value) {
    return guarded<int32_t>(kInvalidArgument, [&] {
        ImageRef img(image);
        if (!img)
            return kInvalidImage;
        if (!img->has_plane(plane) || !img->contains(x, y) || value == nullptr)
            return kInvalidArgument;
        const CImagePlane& p = img->plane(plane);
        *value = p.format().load(p.pixel(x, y));
        return kOk;
    });
}

int32_t ZtImageSetPixel(ZTIMAGE image, int32_t plane, int32_t x, int32_t y, double value) {
    return guarded<int32_t>(kInvalidArgument, [&] {
        ImageRef img(image);
        if (!img)
            return kInvalidImage;
        if (!img->has_plane(plane) || !img->contains(x, y))
            return kInvalidArgument;
        const CImagePlane& p = img->plane(plane);
        p.format().store(p.pixel(x, y), value);
        return kOk;
    });
}

int32_t ZtImageMapArea(ZTIMAGE image, int32_t left, int32_t top, int32_t right, int32_t bottom,
                       int32_t targetWidth, int32_t targetHeight, ZTIMAGE* out) {
    if (out == nullptr)
        return 0;
    *out = 0;
    return guarded<int32_t>(0, [&]() -> int32_t {
        ImageRef img(image);
        if (!img || left < 0 || top < 0 || left > right || top > bottom || right >= img->width() ||
            bottom >= img->height() || targetWidth < 1 || targetHeight < 1)
            return 0;
        // Inside the image, so neither size can overflow.
        const int32_t width = right - left + 1, height = bottom - top + 1;
        auto area = img->view(left, top, width, height);
        if (width == targetWidth && height == targetHeight)
            return publish_to(std::move(area), out);
        return publish_to(resample(*area, targetWidth, targetHeight), out);
    });
}

int32_t ZtImageTransformByMatrix(ZTIMAGE image, const double matrix[4], ZTIMAGE* out) {
    if (out == nullptr)
        return 0;
    *out = 0;
    return guarded<int32_t>(0, [&]() -> int32_t {
        ImageRef img(image);
        if (!img || matrix == nullptr)
            return 0;
        return publish_to(transform(*img.get(), matrix), out);
    });
}

int32_t ZtImageCopy(ZTIMAGE image, ZTIMAGE* out) {
    if (out == nullptr)
        return 0;
    *out = 0;
    return guarded<int32_t>(0, [&]() -> int32_t {
        ImageRef img(image);
        if (!img)
            return 0;
        return publish_to(img->copy(), out);
    });
}

void ZtImageDefaultCoordinateSystem(void* record48) {
    if (record48 == nullptr)
        return;
    const CoordinateSystem c;
    std::memcpy(record48, &c, sizeof c);
}

void ZtImageReleaseHandle(ZTHANDLE* handle) {
    if (handle == nullptr)
        return;
    if (*handle != 0)
        ZtRelease(*handle);
    *handle = 0;
}

} // extern "C"

#pragma once
// An image handle owned by a test, released on scope exit.
#include <cstdint>
#include <cstring>
#include <vector>

#include <zt/ztcimg.h>

namespace ztcimg_test {

class Image {
public:
    Image() = default;
    explicit Image(ZTIMAGE h) : h_(h) {}
    ~Image() { ZtImageReleaseHandle(&h_); }
    Image(Image&& other) noexcept : h_(other.h_) { other.h_ = 0; }
    Image(const Image&) = delete;
    Image& operator=(const Image&) = delete;

    ZTIMAGE get() const { return h_; }
    ZTIMAGE* out() { ZtImageReleaseHandle(&h_); return &h_; }
    explicit operator bool() const { return h_ != 0; }

    double at(int32_t x, int32_t y, int32_t plane = 0) const {
        double v = -12345.0;
        ZtImageGetPixel(h_, plane, x, y, &v);
        return v;
    }
    std::vector<uint8_t> stored() const {
        std::vector<uint8_t> blob(ZtImageStoredSize(h_));
        if (ZtImageWriteToMemory(h_, blob.data(), blob.size()) == 0)
            blob.clear();
        return blob;
    }

private:
    ZTIMAGE h_ = 0;
};

inline ZTK::IZtImage* interface_of(ZTIMAGE h) {
    void* p = nullptr;
    return ZtQueryInterface(h, ZT_IMAGE_INTERFACE_ID, &p) >= 0 ? static_cast<ZTK::IZtImage*>(p) : nullptr;
}

// Fills every plane with a pattern that differs per pixel and plane.
inline void fill_pattern(ZTIMAGE h) {
    for (int32_t p = 0; p < ZtImagePlaneCount(h); ++p)
        for (int32_t y = 0; y < ZtImageHeight(h); ++y)
            for (int32_t x = 0; x < ZtImageWidth(h); ++x)
                ZtImageSetPixel(h, p, x, y, (x * 7 + y * 3 + p * 5) % 11 - 3);
}

} // namespace ztcimg_test

// Loads arbitrary bytes as a stored image. Whatever loads must store back to
// exactly the same bytes, also through a copy and through a view of the bytes
// in place, and survive a resample; the check without loading agrees.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <vector>

#include <zt/ztcimg.h>

namespace {

std::vector<uint8_t> store(ZTIMAGE image) {
    std::vector<uint8_t> blob(ZtImageStoredSize(image));
    if (blob.empty() || ZtImageWriteToMemory(image, blob.data(), blob.size()) == 0)
        __builtin_trap();
    return blob;
}

bool same(const std::vector<uint8_t>& blob, const uint8_t* data, size_t size) {
    return blob.size() == size && std::memcmp(blob.data(), data, size) == 0;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    ZTIMAGE image = 0;
    const bool loads = ZtImageLoadFromMemory(data, size, &image) != 0;
    if (loads != (ZtImageCheckStoredForm(data, size) != 0))
        __builtin_trap();
    std::vector<uint8_t> kept(data, data + size);
    ZTIMAGE view = 0;
    int released = 0;
    const bool viewed = ZtImageViewStoredForm(kept.data(), size, [](void* c) { ++*static_cast<int*>(c); }, &released,
                                              &view) != 0;
    if (viewed != loads || (viewed && !same(store(view), data, size)))
        __builtin_trap();
    ZtImageReleaseHandle(&view);
    if (released != 1)
        __builtin_trap();
    if (!loads) {
        if (image != 0)
            __builtin_trap();
        return 0;
    }
    if (!same(store(image), data, size))
        __builtin_trap();

    ZTIMAGE copy = 0;
    if (ZtImageCopy(image, &copy) == 0 || !same(store(copy), data, size))
        __builtin_trap();
    ZtImageReleaseHandle(&copy);

    // Reading every pixel through the image interface stays inside the image.
    void* p = nullptr;
    ZTK::IZtImage* iface = nullptr;
    if (ZtQueryInterface(image, ZT_IMAGE_INTERFACE_ID, &p) < 0 || (iface = static_cast<ZTK::IZtImage*>(p)) == nullptr)
        __builtin_trap();
    int32_t planes = 0, width = 0, height = 0;
    iface->GetDimension(&planes, &width, &height);
    volatile uint8_t sink = 0;
    for (int32_t plane = 0; plane < planes; ++plane) {
        void* base = nullptr;
        const ZTK::ZtLinearEntry* table = nullptr;
        uint32_t word = 0;
        if (iface->GetLinearAccess(plane, &base, &table) < 0 || iface->GetPlaneDataType(plane, &word) < 0)
            __builtin_trap();
        const int32_t bytes = BytesPerPixel(word);
        for (int32_t y = 0; y < height; ++y)
            for (int32_t x = 0; x < width; ++x)
                sink = sink + static_cast<const uint8_t*>(base)[table[x].x + table[y].y + bytes - 1];
    }

    ZTIMAGE scaled = 0;
    ZtImageMapArea(image, 0, 0, width - 1, height - 1, 3, 2, &scaled);
    if (scaled == 0)
        __builtin_trap();
    ZtImageReleaseHandle(&scaled);
    ZtImageReleaseHandle(&image);
    return 0;
}

// The exported functions of the stored form.
#include <zt/ztcimg.h>

#include "call_guard.hpp"
#include "image_ref.hpp"
#include "stored_form.hpp"

using namespace ztcimg;

extern "C" {

uint64_t ZtImageStoredSize(ZTIMAGE image) {
    return guarded<uint64_t>(0, [&]() -> uint64_t {
        ImageRef img(image);
        return img ? stored_size(*img.get()) : 0;
    });
}

// Only a buffer of exactly the stored size is written: a longer one would
// hold a blob with trailing bytes that loading rejects.
int32_t ZtImageWriteToMemory(ZTIMAGE image, void* buffer, uint64_t size) {
    return guarded<int32_t>(0, [&]() -> int32_t {
        ImageRef img(image);
        if (!img || buffer == nullptr)
            return 0;
        write_stored_form(*img.get(), static_cast<uint8_t*>(buffer), size);
        return 1;
    });
}

int32_t ZtImageLoadFromMemory(const void* bytes, uint64_t length, ZTIMAGE* out) {
    if (out == nullptr)
        return 0;
    *out = 0;
    return guarded<int32_t>(0, [&] {
        return publish_to(read_stored_form(static_cast<const uint8_t*>(bytes), length), out);
    });
}

} // extern "C"

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

int32_t ZtImageCheckStoredForm(const void* bytes, uint64_t length) {
    return guarded<int32_t>(0, [&] {
        check_stored_form(static_cast<const uint8_t*>(bytes), length);
        return 1;
    });
}

int32_t ZtImageViewStoredForm(void* bytes, uint64_t length, void (*release)(void*), void* context, ZTIMAGE* out) {
    if (out != nullptr)
        *out = 0;
    // The caller's bytes are released exactly once, with the last plane that
    // holds them, or here when no image is made.
    std::shared_ptr<uint8_t[]> keeper;
    try {
        keeper = std::shared_ptr<uint8_t[]>(static_cast<uint8_t*>(bytes), [release, context](uint8_t*) {
            if (release != nullptr)
                release(context);
        });
    } catch (...) {
        if (release != nullptr)
            release(context);
        return 0;
    }
    if (out == nullptr || bytes == nullptr)
        return 0;
    return guarded<int32_t>(0, [&]() -> int32_t {
        bool in_place = false;
        auto image = view_stored_form(static_cast<uint8_t*>(bytes), length, std::move(keeper), &in_place);
        if (publish_to(std::move(image), out) == 0)
            return 0;
        return in_place ? 1 : 2;
    });
}

} // extern "C"

#include "pixel_memory.hpp"

#include <new>

#include <sys/mman.h>

namespace ztcimg {
namespace {

// One huge page of the usual size, so that a block is one page fault.
constexpr size_t kBlockBytes = size_t{2} << 20;
// Planes above this get memory of their own: a block holds at least 32.
constexpr size_t kMaxPackedPlane = kBlockBytes / 32;
// Planes start on cache-line boundaries, which suits every pixel type.
constexpr size_t kAlignment = 64;

struct Unmap {
    void operator()(uint8_t* p) const { ::munmap(p, kBlockBytes); }
};

// A block aligned to its own size: mapped twice as large, the ends cut off.
// Fresh anonymous memory is zero, and no part of a block is handed out twice.
std::shared_ptr<uint8_t[]> new_block() {
    void* raw = ::mmap(nullptr, 2 * kBlockBytes, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (raw == MAP_FAILED)
        throw std::bad_alloc();
    const auto start = reinterpret_cast<uintptr_t>(raw);
    const uintptr_t aligned = (start + kBlockBytes - 1) & ~(kBlockBytes - 1);
    const uintptr_t end = start + 2 * kBlockBytes;
    if (aligned > start)
        ::munmap(raw, aligned - start);
    if (end > aligned + kBlockBytes)
        ::munmap(reinterpret_cast<void*>(aligned + kBlockBytes), end - aligned - kBlockBytes);
    auto* block = reinterpret_cast<uint8_t*>(aligned);
    // Only advice: without huge pages the block is paged in as usual.
    ::madvise(block, kBlockBytes, MADV_HUGEPAGE);
    // Should the holder's own allocation fail, it unmaps the block itself.
    return std::shared_ptr<uint8_t[]>(block, Unmap{});
}

// The block this thread cuts from. Held weakly: a block whose planes are all
// gone is given back at once, not kept for the next load.
struct Cursor {
    std::weak_ptr<uint8_t[]> block;
    size_t used = 0;
};

} // namespace

std::shared_ptr<uint8_t[]> separate_pixels(size_t bytes) { return std::make_shared<uint8_t[]>(bytes); }

std::shared_ptr<uint8_t[]> packed_pixels(size_t bytes) {
#if defined(__SANITIZE_ADDRESS__)
    // The address checker sees overruns only between allocations of their own.
    return separate_pixels(bytes);
#else
    if (bytes > kMaxPackedPlane)
        return separate_pixels(bytes);
    thread_local Cursor cursor;
    const size_t rounded = (bytes + kAlignment - 1) & ~(kAlignment - 1);
    std::shared_ptr<uint8_t[]> block = cursor.block.lock();
    if (!block || kBlockBytes - cursor.used < rounded) {
        block = new_block();
        cursor.block = block;
        cursor.used = 0;
    }
    uint8_t* pixels = block.get() + cursor.used;
    cursor.used += rounded;
    return std::shared_ptr<uint8_t[]>(std::move(block), pixels);
#endif
}

} // namespace ztcimg

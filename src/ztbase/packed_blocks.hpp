#pragma once
// Memory for many small pieces made one after another, as a load makes
// thousands of images or vectors: pieces are cut from shared blocks of one
// huge page each, which cost one allocation and, where the system allows
// huge pages, one page fault each, instead of one per piece and page. A
// block goes when the last piece cut from it goes. Header only: each library
// that includes it cuts from blocks of its own.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <new>

#include <sys/mman.h>

// GCC says so with __SANITIZE_ADDRESS__, Clang through __has_feature.
#if defined(__SANITIZE_ADDRESS__)
#define ZT_ADDRESS_CHECKS 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define ZT_ADDRESS_CHECKS 1
#endif
#endif

namespace ZTK::detail {

inline constexpr size_t kPackedBlockBytes = size_t{2} << 20;
// Pieces above this get memory of their own: a block holds at least 32.
inline constexpr size_t kMaxPackedPiece = kPackedBlockBytes / 32;

// A block aligned to its own size, so that it can be one huge page: mapped
// twice as large, the ends cut off. Fresh anonymous memory is zero, and no
// part of a block is handed out twice.
inline std::shared_ptr<uint8_t[]> new_packed_block() {
    void* raw = ::mmap(nullptr, 2 * kPackedBlockBytes, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (raw == MAP_FAILED)
        throw std::bad_alloc();
    const auto start = reinterpret_cast<uintptr_t>(raw);
    const uintptr_t aligned = (start + kPackedBlockBytes - 1) & ~(kPackedBlockBytes - 1);
    const uintptr_t end = start + 2 * kPackedBlockBytes;
    if (aligned > start)
        ::munmap(raw, aligned - start);
    if (end > aligned + kPackedBlockBytes)
        ::munmap(reinterpret_cast<void*>(aligned + kPackedBlockBytes), end - aligned - kPackedBlockBytes);
    auto* block = reinterpret_cast<uint8_t*>(aligned);
    // Only advice: without huge pages the block is paged in as usual.
    ::madvise(block, kPackedBlockBytes, MADV_HUGEPAGE);
    // Should the holder's own allocation fail, it unmaps the block itself.
    return std::shared_ptr<uint8_t[]>(block, [](uint8_t* p) { ::munmap(p, kPackedBlockBytes); });
}

// A zeroed piece of `bytes` bytes on a 64-byte boundary, cut from this
// thread's current block; empty when the piece is too large to share a block
// (or the build checks addresses, which sees overruns only between
// allocations of their own), in which case the caller allocates on its own.
inline std::shared_ptr<uint8_t[]> packed_piece(size_t bytes) {
#if defined(ZT_ADDRESS_CHECKS)
    (void)bytes;
    return {};
#else
    if (bytes > kMaxPackedPiece)
        return {};
    // Held weakly: a block whose pieces are all gone is given back at once,
    // not kept for the next load.
    thread_local std::weak_ptr<uint8_t[]> current;
    thread_local size_t used = 0;
    const size_t rounded = (bytes + 63) & ~size_t{63};
    std::shared_ptr<uint8_t[]> block = current.lock();
    if (!block || kPackedBlockBytes - used < rounded) {
        block = new_packed_block();
        current = block;
        used = 0;
    }
    uint8_t* piece = block.get() + used;
    used += rounded;
    return std::shared_ptr<uint8_t[]>(std::move(block), piece);
#endif
}

} // namespace ZTK::detail

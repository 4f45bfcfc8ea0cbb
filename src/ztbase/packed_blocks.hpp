#pragma once
// Memory for many small pieces made one after another, as a load makes
// thousands of images or vectors: pieces are cut from shared blocks of one
// huge page each, which cost one allocation and, where the system allows
// huge pages, one page fault each, instead of one per piece and page. A
// block goes back to a pool of free blocks when the last piece cut from it
// goes. Header only: each library that includes it has blocks of its own.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <mutex>
#include <new>
#include <vector>

#include <sys/mman.h>
#include <sys/resource.h>
#include <unistd.h>

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

// A block of `bytes` (a multiple of kPackedBlockBytes) aligned to 2 MiB, so
// that it can be huge pages: mapped larger, the ends cut off, and advised for
// huge pages. Fresh anonymous memory is zero. Null when the system has no
// memory left; given back with munmap.
inline uint8_t* map_huge_block(size_t bytes) noexcept {
    void* raw = ::mmap(nullptr, bytes + kPackedBlockBytes, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (raw == MAP_FAILED)
        return nullptr;
    const auto start = reinterpret_cast<uintptr_t>(raw);
    const uintptr_t aligned = (start + kPackedBlockBytes - 1) & ~(kPackedBlockBytes - 1);
    const uintptr_t end = start + bytes + kPackedBlockBytes;
    if (aligned > start)
        ::munmap(raw, aligned - start);
    if (end > aligned + bytes)
        ::munmap(reinterpret_cast<void*>(aligned + bytes), end - aligned - bytes);
    auto* block = reinterpret_cast<uint8_t*>(aligned);
    // Only advice: without huge pages the block is paged in as usual.
    ::madvise(block, bytes, MADV_HUGEPAGE);
    return block;
}

// Whether the process runs under a limit on its address space. There a new
// thread may find no room for its thread-local data, which the system
// treats as fatal, and memory kept for later takes room others need.
inline bool address_space_limited() noexcept {
    rlimit limit{};
    return ::getrlimit(RLIMIT_AS, &limit) == 0 && limit.rlim_cur != RLIM_INFINITY;
}

// Blocks whose pieces are all gone wait here for the next load, so that a
// list loaded again after one was released reuses memory already paged in
// instead of having the system clear fresh pages (the larger part of a load's
// time). While they wait the system may take their pages back whenever it
// needs memory (MADV_FREE): such a page reads as zero when used again. The
// pool holds at most a quarter of the machine's memory; beyond that blocks go
// back to the system at once.
class block_pool {
public:
    static block_pool& instance() {
        // Never destroyed: pieces may go in other libraries' static destructors.
        static block_pool* pool = new block_pool;
        return *pool;
    }
    // A block of kPackedBlockBytes, its content unspecified; null when the
    // system has no memory left.
    uint8_t* take() noexcept {
        {
            std::lock_guard lock(mutex_);
            if (!free_.empty()) {
                uint8_t* block = free_.back();
                free_.pop_back();
                return block;
            }
        }
        return map_huge_block(kPackedBlockBytes);
    }
    void give_back(uint8_t* block) noexcept {
        {
            std::lock_guard lock(mutex_);
            // Waiting blocks stay mapped, so under a limit on the address
            // space they would take the room that later allocations (a failed
            // load's report, a new thread's thread-local data) need.
            if (free_.size() < max_free_ && !address_space_limited()) {
                try {
                    free_.push_back(block);
                    ::madvise(block, kPackedBlockBytes, MADV_FREE);
                    return;
                } catch (...) {
                }
            }
        }
        ::munmap(block, kPackedBlockBytes);
    }

private:
    // At most a quarter of the machine's memory waits in the pool.
    block_pool() {
        const long pages = ::sysconf(_SC_PHYS_PAGES), page = ::sysconf(_SC_PAGESIZE);
        if (pages > 0 && page > 0)
            max_free_ = static_cast<size_t>(pages) / 4 * static_cast<size_t>(page) / kPackedBlockBytes;
    }

    std::mutex mutex_;
    std::vector<uint8_t*> free_;
    size_t max_free_ = 256;
};

// One block of one huge page, no part of it handed out twice; it goes back
// to the pool when the last holder lets go.
inline std::shared_ptr<uint8_t[]> new_packed_block() {
    uint8_t* block = block_pool::instance().take();
    if (block == nullptr)
        throw std::bad_alloc();
    // Should the holder's own allocation fail, it gives the block back itself.
    return std::shared_ptr<uint8_t[]>(block, [](uint8_t* p) { block_pool::instance().give_back(p); });
}

// A piece of `bytes` bytes on a 64-byte boundary, cut from this thread's
// current block, its content unspecified (the caller writes all of it); empty when the piece is too large to share a block
// (or the build checks addresses, which sees overruns only between
// allocations of their own), in which case the caller allocates on its own.
inline std::shared_ptr<uint8_t[]> packed_piece(size_t bytes) {
#if defined(ZT_ADDRESS_CHECKS)
    (void)bytes;
    return {};
#else
    if (bytes > kMaxPackedPiece)
        return {};
    // Held weakly: a block whose pieces are all gone goes back to the pool at
    // once, not only when this thread next needs a block.
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

#include "tav/frame/make_object.hpp"

#include "ztbase/packed_blocks.hpp"

namespace ztkBase::detail {

namespace {
// A slab of this much or more takes a whole huge-page block.
constexpr std::size_t kMappedSlab = ZTK::detail::kPackedBlockBytes / 2;
} // namespace

object_slab* object_slab::create(std::size_t size, std::size_t wanted) {
    const std::size_t block = ZTK::detail::kPackedBlockBytes;
    if (size == 0 || size > block - kHeader)
        throw bad_alloc();
    // Objects are laid out at multiples of their size; keep them aligned.
    size = (size + alignof(std::max_align_t) - 1) & ~(alignof(std::max_align_t) - 1);
    static_assert(sizeof(object_slab) <= kHeader);
#if defined(ZT_ADDRESS_CHECKS)
    // Address checks see overruns only between allocations of their own.
    wanted = 1;
#endif
    const std::size_t fit = (block - kHeader) / size;
    if (wanted >= fit || kHeader + wanted * size >= kMappedSlab) {
        void* memory = ZTK::detail::block_pool::instance().take();
        if (memory == nullptr)
            throw bad_alloc();
        return ::new (memory) object_slab(size, fit, true);
    }
    void* memory = ::operator new(kHeader + wanted * size, std::nothrow);
    if (memory == nullptr)
        throw bad_alloc();
    return ::new (memory) object_slab(size, wanted, false);
}

void object_slab::discard(object_slab* slab) noexcept {
    const bool mapped = slab->mapped_;
    slab->~object_slab();
    if (mapped)
        ZTK::detail::block_pool::instance().give_back(reinterpret_cast<uint8_t*>(slab));
    else
        ::operator delete(slab);
}

} // namespace ztkBase::detail

namespace Korvu2::TAV {

void bind_or_throw(ZTHANDLE handle, ZTK::IDisposableType* object) {
    int32_t status = ZtBindImplementation(handle, object);
    if (status >= 0)
        return;
    if (status == ErrInvalidArgument)
        throw ztkBase::invalid_argument("Interface in ptr present this container");
    if (status == ErrOutOfMemory)
        throw ztkBase::bad_alloc();
    throw ztkBase::runtime_error();
}

} // namespace Korvu2::TAV

#pragma once
// The process-wide table of handles: per slot the generation, the ordinary
// and link reference counts, the bound object and its storage.
//
// Slots live in blocks of one huge page each that never move, so the table
// grows without copying, and a run of new handles for a batch of objects
// (CreateRun) is made under one lock, from consecutive fresh slots where the
// table has no free ones.
#include <cstddef>
#include <cstdint>
#include <mutex>
#include <vector>

#include <zt/ztbase.h>

namespace ZTK::detail {

class CHandleTable {
public:
    static CHandleTable& Instance();

    // A new handle with one ordinary reference owning storage (may be null,
    // freed with std::free when the handle goes); 0 when no slot is left.
    ZTHANDLE Create(void* storage) noexcept;
    // count new handles with one ordinary reference each, handles[i] bound to
    // objects[i] (an IDisposableType* as void*, none null), owning no storage, each holding `links`
    // link references as well. All or none: false, and nothing made, when
    // the slots or their memory run out.
    bool CreateRun(uint64_t count, void* const* objects, uint64_t links, ZTHANDLE* handles) noexcept;
    bool IsLive(ZTHANDLE h) noexcept;
    int32_t Bind(ZTHANDLE h, IDisposableType* object) noexcept;
    // One more ordinary reference; false, and none taken, unless h is live.
    bool AddRef(ZTHANDLE h) noexcept;
    void Release(ZTHANDLE h) noexcept;
    // Release for each value in turn, the references dropped under one lock
    // and the objects that lost their last one disposed after it.
    void ReleaseRun(const ZTHANDLE* handles, uint64_t count) noexcept;
    void AddLinkRef(ZTHANDLE h) noexcept;
    // One more link reference for each value in turn (a value may repeat).
    void AddLinkRefs(const ZTHANDLE* handles, uint64_t count) noexcept;
    void ReleaseLinkRef(ZTHANDLE h) noexcept;
    void ReleaseLinkRefs(const ZTHANDLE* handles, uint64_t count) noexcept;
    // For a live, bound handle: one more ordinary reference and its object,
    // so the object cannot go while it is used outside the lock.
    IDisposableType* Pin(ZTHANDLE h) noexcept;
    int64_t RefCount(ZTHANDLE h) noexcept;

private:
    struct Slot {
        IDisposableType* object = nullptr;
        void* storage = nullptr;
        uint64_t refs = 0;
        uint64_t links = 0;
        uint32_t generation = 0;
        uint32_t uses : 30 = 0;
        uint32_t in_use : 1 = 0; // a handle names the slot (refs or links held)
        uint32_t disposing : 1 = 0;
    };

public:
    // Slots a block of one huge page holds.
    static constexpr uint32_t kSlotsPerBlock = static_cast<uint32_t>((std::size_t{2} << 20) / sizeof(Slot));

private:
    Slot& At(uint32_t index) noexcept;
    Slot* Find(ZTHANDLE h) noexcept; // lock held
    // Room for `count` more slots beyond the made ones; false when the index
    // space or memory runs out. Lock held.
    bool Reserve(uint64_t count) noexcept;
    // A slot for a new handle: a free one, or the next fresh one (after
    // Reserve). Lock held.
    uint32_t Take() noexcept;
    ZTHANDLE Open(uint32_t index, IDisposableType* object, void* storage, uint64_t links) noexcept;
    void Destroy(ZTHANDLE h, IDisposableType* object, void* storage) noexcept;
    void Dispose(IDisposableType* object, void* storage) noexcept;
    void Closed(ZTHANDLE h) noexcept; // lock held
    void DropLink(ZTHANDLE h) noexcept; // lock held
    void Recycle(uint32_t index) noexcept; // lock held

    std::mutex mutex_;
    std::vector<Slot*> blocks_;
    uint32_t made_ = 0; // slots ever handed out; all below are in blocks_
    // Always has capacity for every made slot, so recycling never allocates.
    std::vector<uint32_t> free_;
};

} // namespace ZTK::detail

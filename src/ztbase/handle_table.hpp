#pragma once
// The process-wide table of handles: per slot the current handle value, the
// ordinary and link reference counts, the bound object and its storage.
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
    bool IsLive(ZTHANDLE h) noexcept;
    int32_t Bind(ZTHANDLE h, IDisposableType* object) noexcept;
    // One more ordinary reference; false, and none taken, unless h is live.
    bool AddRef(ZTHANDLE h) noexcept;
    void Release(ZTHANDLE h) noexcept;
    void AddLinkRef(ZTHANDLE h) noexcept;
    void ReleaseLinkRef(ZTHANDLE h) noexcept;
    // For a live, bound handle: one more ordinary reference and its object,
    // so the object cannot go while it is used outside the lock.
    IDisposableType* Pin(ZTHANDLE h) noexcept;
    int64_t RefCount(ZTHANDLE h) noexcept;

private:
    struct Slot {
        ZTHANDLE handle = 0; // 0 while the slot is free
        IDisposableType* object = nullptr;
        void* storage = nullptr;
        uint64_t refs = 0;
        uint64_t links = 0;
        uint32_t generation = 0;
        uint32_t uses = 0;
        bool disposing = false;
    };

    Slot* Find(ZTHANDLE h); // lock held
    void Destroy(ZTHANDLE h, IDisposableType* object, void* storage) noexcept;
    void Recycle(uint32_t index); // lock held

    std::mutex mutex_;
    std::vector<Slot> slots_;
    std::vector<uint32_t> free_;
};

} // namespace ZTK::detail

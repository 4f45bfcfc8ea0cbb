#include "handle_table.hpp"

#include <algorithm>
#include <cstdlib>

#include "handle_codec.hpp"
#include "status_codes.hpp"

namespace ZTK::detail {

CHandleTable& CHandleTable::Instance() {
    // Never destroyed: handles may still be released by other libraries'
    // static destructors at process exit.
    static CHandleTable* table = new CHandleTable;
    return *table;
}

CHandleTable::Slot* CHandleTable::Find(ZTHANDLE h) {
    auto index = handle_index(h);
    if (!index || *index >= slots_.size())
        return nullptr;
    Slot& slot = slots_[*index];
    return slot.handle == h ? &slot : nullptr;
}

ZTHANDLE CHandleTable::Create(void* storage) noexcept {
    std::lock_guard lock(mutex_);
    uint32_t index;
    if (!free_.empty()) {
        index = free_.back();
        free_.pop_back();
    } else {
        if (slots_.size() >= kMaxSlots)
            return 0;
        index = static_cast<uint32_t>(slots_.size());
        try {
            // Both grow by doubling, together: the free list always has room
            // for every slot, so recycling never allocates, and it is not
            // reallocated for every new handle.
            if (slots_.size() == slots_.capacity()) {
                const std::size_t capacity =
                    std::min<std::size_t>(kMaxSlots, std::max<std::size_t>(64, 2 * slots_.size()));
                free_.reserve(capacity);
                slots_.reserve(capacity);
            }
            slots_.push_back(Slot{});
        } catch (...) {
            return 0;
        }
        slots_.back().generation = initial_generation(index);
    }
    Slot& slot = slots_[index];
    slot.handle = encode_handle(index, slot.generation);
    slot.object = nullptr;
    slot.storage = storage;
    slot.refs = 1;
    slot.links = 0;
    slot.disposing = false;
    return slot.handle;
}

bool CHandleTable::IsLive(ZTHANDLE h) noexcept {
    std::lock_guard lock(mutex_);
    Slot* slot = Find(h);
    return slot && slot->refs > 0;
}

int32_t CHandleTable::Bind(ZTHANDLE h, IDisposableType* object) noexcept {
    if (!object)
        return kStatusInvalidArgument;
    std::lock_guard lock(mutex_);
    Slot* slot = Find(h);
    if (!slot || slot->refs == 0 || slot->object)
        return kStatusInvalidArgument;
    slot->object = object;
    return kStatusOk;
}

bool CHandleTable::AddRef(ZTHANDLE h) noexcept {
    std::lock_guard lock(mutex_);
    Slot* slot = Find(h);
    // A handle kept only by link references stays dead: its object is gone.
    if (!slot || slot->refs == 0)
        return false;
    ++slot->refs;
    return true;
}

IDisposableType* CHandleTable::Pin(ZTHANDLE h) noexcept {
    std::lock_guard lock(mutex_);
    Slot* slot = Find(h);
    if (!slot || slot->refs == 0 || !slot->object)
        return nullptr;
    ++slot->refs;
    return slot->object;
}

void CHandleTable::Release(ZTHANDLE h) noexcept {
    IDisposableType* object;
    void* storage;
    {
        std::lock_guard lock(mutex_);
        Slot* slot = Find(h);
        if (!slot || slot->refs == 0)
            return;
        if (--slot->refs > 0)
            return;
        slot->disposing = true;
        object = slot->object;
        storage = slot->storage;
    }
    Destroy(h, object, storage);
}

// Runs without the lock: dispose commonly releases other handles, and may
// come back into the table for this very handle.
void CHandleTable::Destroy(ZTHANDLE h, IDisposableType* object, void* storage) noexcept {
    if (object) {
        try {
            object->Dispose();
        } catch (...) {
            // Nothing may cross the C boundary; the slot is freed regardless.
        }
    }
    std::free(storage);
    std::lock_guard lock(mutex_);
    // Still ours: a disposing slot is never recycled by anyone else.
    Slot* slot = Find(h);
    slot->object = nullptr;
    slot->storage = nullptr;
    slot->disposing = false;
    if (slot->links == 0)
        Recycle(*handle_index(h));
}

void CHandleTable::AddLinkRef(ZTHANDLE h) noexcept {
    std::lock_guard lock(mutex_);
    if (Slot* slot = Find(h))
        ++slot->links;
}

void CHandleTable::ReleaseLinkRef(ZTHANDLE h) noexcept {
    std::lock_guard lock(mutex_);
    Slot* slot = Find(h);
    if (!slot || slot->links == 0)
        return;
    if (--slot->links == 0 && slot->refs == 0 && !slot->disposing)
        Recycle(*handle_index(h));
}

void CHandleTable::Recycle(uint32_t index) {
    Slot& slot = slots_[index];
    slot.handle = 0;
    slot.generation = (slot.generation + 1) & kGenerationMask;
    // A slot that has used up its generations is retired, so that no old
    // value can ever name a new object.
    if (++slot.uses < kMaxSlotUses)
        free_.push_back(index);
}

int64_t CHandleTable::RefCount(ZTHANDLE h) noexcept {
    std::lock_guard lock(mutex_);
    Slot* slot = Find(h);
    if (!slot || slot->refs == 0)
        return -1;
    return static_cast<int64_t>(slot->refs);
}

} // namespace ZTK::detail

#include "handle_table.hpp"

#include <algorithm>
#include <cstdlib>
#include <utility>
#include <vector>

#include "handle_codec.hpp"
#include "packed_blocks.hpp"
#include "status_codes.hpp"

namespace ZTK::detail {

CHandleTable& CHandleTable::Instance() {
    // Never destroyed: handles may still be released by other libraries'
    // static destructors at process exit.
    static CHandleTable* table = new CHandleTable;
    return *table;
}

CHandleTable::Slot& CHandleTable::At(uint32_t index) noexcept {
    return blocks_[index / kSlotsPerBlock][index % kSlotsPerBlock];
}

CHandleTable::Slot* CHandleTable::Find(ZTHANDLE h) noexcept {
    auto index = handle_index(h);
    if (!index || *index >= made_)
        return nullptr;
    Slot& slot = At(*index);
    return slot.in_use && encode_handle(*index, slot.generation) == h ? &slot : nullptr;
}

bool CHandleTable::Reserve(uint64_t count) noexcept {
    if (count > free_.size() + (kMaxSlots - made_))
        return false;
    const uint64_t fresh = count > free_.size() ? count - free_.size() : 0;
    const uint64_t needed = made_ + fresh;
    try {
        // The free list has room for every slot, so that recycling never
        // allocates; it grows by doubling, not block by block.
        if (free_.capacity() < needed)
            free_.reserve(std::min<uint64_t>(kMaxSlots, std::max<uint64_t>(needed, 2 * free_.capacity())));
        blocks_.reserve((needed + kSlotsPerBlock - 1) / kSlotsPerBlock);
    } catch (...) {
        return false;
    }
    while (uint64_t{blocks_.size()} * kSlotsPerBlock < needed) {
        // Fresh mapped memory is zero: every slot in it is free and unused.
        static_assert(sizeof(Slot) == 40 && sizeof(Slot) * kSlotsPerBlock <= kPackedBlockBytes);
        auto* block = reinterpret_cast<Slot*>(map_huge_block(kPackedBlockBytes));
        if (block == nullptr)
            return false;
        blocks_.push_back(block);
    }
    return true;
}

uint32_t CHandleTable::Take() noexcept {
    if (!free_.empty()) {
        const uint32_t index = free_.back();
        free_.pop_back();
        return index;
    }
    const uint32_t index = made_++;
    At(index).generation = initial_generation(index);
    return index;
}

ZTHANDLE CHandleTable::Open(uint32_t index, IDisposableType* object, void* storage, uint64_t links) noexcept {
    Slot& slot = At(index);
    slot.object = object;
    slot.storage = storage;
    slot.refs = 1;
    slot.links = links;
    slot.in_use = 1;
    slot.disposing = 0;
    return encode_handle(index, slot.generation);
}

ZTHANDLE CHandleTable::Create(void* storage) noexcept {
    std::lock_guard lock(mutex_);
    if (!Reserve(1))
        return 0;
    return Open(Take(), nullptr, storage, 0);
}

bool CHandleTable::CreateRun(uint64_t count, void* const* objects, uint64_t links,
                             ZTHANDLE* handles) noexcept {
    if (count == 0)
        return true;
    if (objects == nullptr || handles == nullptr || std::find(objects, objects + count, nullptr) != objects + count)
        return false;
    std::lock_guard lock(mutex_);
    if (!Reserve(count))
        return false;
    for (uint64_t i = 0; i < count; ++i)
        handles[i] = Open(Take(), static_cast<IDisposableType*>(objects[i]), nullptr, links);
    return true;
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
        slot->disposing = 1;
        object = slot->object;
        storage = slot->storage;
    }
    Destroy(h, object, storage);
}

namespace {

// While a run of objects is disposed on this thread, the link references
// their disposal drops (an item's link to its label) wait here, to be
// dropped under the lock the run takes at its end. Null otherwise.
thread_local std::vector<ZTHANDLE>* deferred_links = nullptr;

} // namespace

void CHandleTable::ReleaseRun(const ZTHANDLE* handles, uint64_t count) noexcept {
    if (handles == nullptr)
        return;
    struct Doomed {
        ZTHANDLE h;
        IDisposableType* object;
        void* storage;
    };
    std::vector<Doomed> doomed;
    std::vector<ZTHANDLE> links;
    try {
        doomed.reserve(count);
        links.reserve(count);
    } catch (...) {
        // No room to keep them: one at a time.
        for (uint64_t i = 0; i < count; ++i)
            Release(handles[i]);
        return;
    }
    {
        std::lock_guard lock(mutex_);
        for (uint64_t i = 0; i < count; ++i) {
            Slot* slot = Find(handles[i]);
            if (!slot || slot->refs == 0 || --slot->refs > 0)
                continue;
            slot->disposing = 1;
            doomed.push_back({handles[i], slot->object, slot->storage});
        }
    }
    std::vector<ZTHANDLE>* const outer = std::exchange(deferred_links, &links);
    for (const Doomed& d : doomed)
        Dispose(d.object, d.storage);
    deferred_links = outer;
    std::lock_guard lock(mutex_);
    for (ZTHANDLE h : links)
        DropLink(h);
    for (const Doomed& d : doomed)
        Closed(d.h);
}

// Runs without the lock: dispose commonly releases other handles, and may
// come back into the table for this very handle.
void CHandleTable::Destroy(ZTHANDLE h, IDisposableType* object, void* storage) noexcept {
    Dispose(object, storage);
    std::lock_guard lock(mutex_);
    Closed(h);
}

void CHandleTable::Dispose(IDisposableType* object, void* storage) noexcept {
    if (object) {
        try {
            object->Dispose();
        } catch (...) {
            // Nothing may cross the C boundary; the slot is freed regardless.
        }
    }
    std::free(storage);
}

void CHandleTable::Closed(ZTHANDLE h) noexcept {
    // Still ours: a disposing slot is never recycled by anyone else.
    Slot* slot = Find(h);
    slot->object = nullptr;
    slot->storage = nullptr;
    slot->disposing = 0;
    if (slot->links == 0)
        Recycle(*handle_index(h));
}

void CHandleTable::AddLinkRef(ZTHANDLE h) noexcept {
    std::lock_guard lock(mutex_);
    if (Slot* slot = Find(h))
        ++slot->links;
}

void CHandleTable::AddLinkRefs(const ZTHANDLE* handles, uint64_t count) noexcept {
    if (handles == nullptr)
        return;
    std::lock_guard lock(mutex_);
    for (uint64_t i = 0; i < count; ++i)
        if (Slot* slot = Find(handles[i]))
            ++slot->links;
}

void CHandleTable::ReleaseLinkRef(ZTHANDLE h) noexcept {
    if (deferred_links != nullptr && deferred_links->size() < deferred_links->capacity()) {
        deferred_links->push_back(h);
        return;
    }
    std::lock_guard lock(mutex_);
    DropLink(h);
}

void CHandleTable::ReleaseLinkRefs(const ZTHANDLE* handles, uint64_t count) noexcept {
    if (handles == nullptr)
        return;
    std::lock_guard lock(mutex_);
    for (uint64_t i = 0; i < count; ++i)
        DropLink(handles[i]);
}

void CHandleTable::DropLink(ZTHANDLE h) noexcept {
    Slot* slot = Find(h);
    if (!slot || slot->links == 0)
        return;
    if (--slot->links == 0 && slot->refs == 0 && !slot->disposing)
        Recycle(*handle_index(h));
}

void CHandleTable::Recycle(uint32_t index) noexcept {
    Slot& slot = At(index);
    slot.in_use = 0;
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

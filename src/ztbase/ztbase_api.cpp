// The exported functions of the base-object library.
#include <zt/ztbase.h>

#include <cstddef>
#include <cstdlib>

#include "handle_table.hpp"
#include "interface_query.hpp"
#include "interface_registry.hpp"
#include "status_codes.hpp"

using namespace ZTK::detail;

namespace {
CHandleTable& table() { return CHandleTable::Instance(); }

// Bound on one allocation: what the allocator can address at all.
constexpr uint64_t kMaxStorage = static_cast<uint64_t>(PTRDIFF_MAX);
} // namespace

extern "C" {

uint64_t ZtRegisterInterface(const char* name) {
    return CInterfaceRegistry::Instance().Register(name);
}

int32_t ZtIsObject(ZTHANDLE h) { return table().IsLive(h) ? 1 : 0; }

ZTHANDLE ZtCreateObjectStorage(uint64_t size, void** storage) {
    if (!storage)
        return 0;
    *storage = nullptr;
    if (size > kMaxStorage)
        return 0;
    // calloc: zeroed, and aligned for any fundamental type (max_align_t).
    void* memory = std::calloc(1, size ? static_cast<size_t>(size) : 1);
    if (!memory)
        return 0;
    ZTHANDLE h = table().Create(memory);
    if (h == 0) {
        std::free(memory);
        return 0;
    }
    *storage = memory;
    return h;
}

ZTHANDLE ZtCreateHandle(void) { return table().Create(nullptr); }

int32_t ZtBindImplementation(ZTHANDLE h, void* object) {
    return table().Bind(h, static_cast<ZTK::IDisposableType*>(object));
}

void ZtAddRef(ZTHANDLE h) { table().AddRef(h); }

int32_t ZtCheckedAddRef(ZTHANDLE h) {
    return table().AddRef(h) ? kStatusOk : kStatusInvalidArgument;
}

void ZtRelease(ZTHANDLE h) { table().Release(h); }

void ZtAddLinkRef(ZTHANDLE h) { table().AddLinkRef(h); }

int32_t ZtCreateBoundHandles(uint64_t count, void* const* objects, uint64_t links, ZTHANDLE* handles) {
    if (count > 0 && (objects == nullptr || handles == nullptr))
        return kStatusInvalidArgument;
    return table().CreateRun(count, objects, links, handles) ? kStatusOk : kStatusOutOfMemory;
}

void ZtAddLinkRefs(const ZTHANDLE* handles, uint64_t count) { table().AddLinkRefs(handles, count); }

void ZtReleaseLinkRef(ZTHANDLE h) { table().ReleaseLinkRef(h); }

void ZtReleaseHandles(const ZTHANDLE* handles, uint64_t count) { table().ReleaseRun(handles, count); }

void ZtReleaseLinkRefs(const ZTHANDLE* handles, uint64_t count) { table().ReleaseLinkRefs(handles, count); }

int32_t ZtQueryInterface(ZTHANDLE h, uint64_t iid, void** iface) {
    if (!iface)
        return kStatusInvalidArgument;
    *iface = nullptr;
    // The pin keeps the object alive while its listing runs outside the lock,
    // should another thread drop the last reference meanwhile.
    ZTK::IDisposableType* object = table().Pin(h);
    if (!object)
        return kStatusInvalidArgument;
    int32_t status = find_interface(*object, iid, iface);
    table().Release(h);
    return status;
}

int64_t ZtRefCount(ZTHANDLE h) { return table().RefCount(h); }

} // extern "C"

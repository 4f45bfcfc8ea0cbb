/*
 * ztbase.h - the base-object library.
 *
 * Every object that crosses a library boundary is a handle: an opaque 64-bit
 * value with a reference count. Ordinary references keep the object alive;
 * link references only keep the handle value meaningful. When the last
 * ordinary reference goes, the object's dispose operation runs.
 *
 * A handle carries a generation count, so a value whose object is gone (or a
 * made-up value) is answered as "not an object" forever, also after its slot
 * in the table has been reused. All functions are safe to call from several
 * threads at once.
 */
#ifndef ZT_ZTBASE_H
#define ZT_ZTBASE_H

#include <stdint.h>

#if defined(_WIN32)
#define ZT_API __declspec(dllimport)
#else
#define ZT_API __attribute__((visibility("default")))
#endif

#ifdef __cplusplus
extern "C" {
#endif

typedef uint64_t ZTHANDLE; /* 0 is the null handle */

/* Same name gives the same id; never 0, never 1 (1 is the image interface). */
ZT_API uint64_t ZtRegisterInterface(const char* name);
/* Nonzero for a live handle (one with at least one ordinary reference). */
ZT_API int32_t ZtIsObject(ZTHANDLE h);
/* New handle with one reference owning zeroed storage of `size` bytes. */
ZT_API ZTHANDLE ZtCreateObjectStorage(uint64_t size, void** storage);
/* New handle with one reference for an object the caller allocates itself. */
ZT_API ZTHANDLE ZtCreateHandle(void);
/* object: a ZTK::IDisposableType*. 0 on success, 0x80000002 if already bound. */
ZT_API int32_t ZtBindImplementation(ZTHANDLE h, void* object);
ZT_API void ZtAddRef(ZTHANDLE h);
/* >= 0 and one more reference, or negative (and no reference) for a dead value. */
ZT_API int32_t ZtCheckedAddRef(ZTHANDLE h);
ZT_API void ZtRelease(ZTHANDLE h);
ZT_API void ZtAddLinkRef(ZTHANDLE h);
ZT_API void ZtReleaseLinkRef(ZTHANDLE h);
/* >= 0 and the pointer the object lists for iid; negative if none. No reference. */
ZT_API int32_t ZtQueryInterface(ZTHANDLE h, uint64_t iid, void** iface);
/* Ordinary references of a live handle, else -1. For diagnostics and tests. */
ZT_API int64_t ZtRefCount(ZTHANDLE h);

/* Extension for objects made in bulk (a list being loaded). count new handles
 * under one lock: handles[i] is bound to objects[i] (ZTK::IDisposableType*,
 * none null) with one ordinary reference and `links` link references; the
 * objects own their memory (dispose frees it). 0, or negative and no handle
 * made when the table is full or memory runs out. */
ZT_API int32_t ZtCreateBoundHandles(uint64_t count, void* const* objects, uint64_t links, ZTHANDLE* handles);
/* One more link reference for each of count values (values may repeat). */
ZT_API void ZtAddLinkRefs(const ZTHANDLE* handles, uint64_t count);
/* Extension for objects released in bulk (a list going). As ZtRelease for
 * each of count values, under one lock: every reference is dropped first,
 * then the objects whose last reference went are disposed, in order. */
ZT_API void ZtReleaseHandles(const ZTHANDLE* handles, uint64_t count);
/* As ZtReleaseLinkRef for each of count values, under one lock. */
ZT_API void ZtReleaseLinkRefs(const ZTHANDLE* handles, uint64_t count);

#ifdef __cplusplus
} /* extern "C" */

namespace ZTK {
/* Root of every object a handle can stand for. Slot order matters: the
 * base-object library calls these through the vtable. */
struct ZtInterfacePair {
    uint64_t iid;
    void* iface;
};

class IDisposableType {
public:
    /* Fills pairs[0..*count) with (interface id, pointer). Null array: sets
     * *count and returns 0. Array with *count == 0: 0x80000002. */
    virtual int32_t GetInterfaces(ZtInterfacePair* pairs, uint64_t* count) = 0;
    /* Called when the last ordinary reference goes. */
    virtual void Dispose() { delete this; }
    virtual ~IDisposableType() = default;
};
} // namespace ZTK
#endif

#endif /* ZT_ZTBASE_H */

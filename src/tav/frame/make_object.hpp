#pragma once
// Making a library object: storage from the base-object library, the object
// constructed in place, then bound to the handle.
#include <new>
#include <utility>

#include <zt/ztbase.h>

#include "tav/frame/error_codes.hpp"
#include "tav/frame/exceptions.hpp"
#include "tav/frame/holders.hpp"

namespace ztkBase::detail {

// Adaptor for an object living in base-object storage: dispose destroys it in
// place and leaves the memory to the base-object library.
template <class T>
class make_shared_t final : public T {
public:
    using T::T;
    void Dispose() override { this->~make_shared_t(); }
};

} // namespace ztkBase::detail

namespace Korvu2::TAV {

// Binds object to handle, turning the binder's codes into exceptions.
void bind_or_throw(ZTHANDLE handle, ZTK::IDisposableType* object);

// Makes a T in base-object storage; the returned holder owns the one reference.
template <class T, class... Args>
SharedHandle<T> make_object(Args&&... args) {
    using Wrapped = ztkBase::detail::make_shared_t<T>;
    void* storage = nullptr;
    ZTHANDLE handle = ZtCreateObjectStorage(sizeof(Wrapped), &storage);
    if (handle == 0)
        throw ztkBase::bad_alloc();
    if (storage == nullptr) {
        ZtRelease(handle);
        throw ztkBase::bad_alloc();
    }
    Wrapped* object = nullptr;
    try {
        object = ::new (storage) Wrapped(std::forward<Args>(args)...);
    } catch (...) {
        ZtRelease(handle);
        throw;
    }
    try {
        bind_or_throw(handle, static_cast<ZTK::IDisposableType*>(object));
    } catch (...) {
        // Unbound, so releasing the handle would not destroy the object.
        object->~Wrapped();
        ZtRelease(handle);
        throw;
    }
    return SharedHandle<T>::adopt(handle, object);
}

// Binds an object the library allocated itself with new (used by loading);
// on failure the object is deleted.
template <class T>
SharedHandle<T> adopt_new_object(T* object) {
    ZTHANDLE handle = ZtCreateHandle();
    if (handle == 0) {
        delete object;
        throw ztkBase::bad_alloc();
    }
    try {
        bind_or_throw(handle, static_cast<ZTK::IDisposableType*>(object));
    } catch (...) {
        delete object;
        ZtRelease(handle);
        throw;
    }
    return SharedHandle<T>::adopt(handle, object);
}

} // namespace Korvu2::TAV

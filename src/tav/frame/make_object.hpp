#pragma once
// Making a library object: storage from the base-object library, the object
// constructed in place, then bound to the handle.
#include <algorithm>
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <new>
#include <utility>
#include <vector>

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

// Memory shared by objects made in bulk: a header, then the objects. Each
// object gives back its share when it is disposed; the last one frees it.
// Large runs get blocks of one huge page (few page faults); small ones
// ordinary memory.
class object_slab {
public:
    // A slab with room for up to `wanted` objects of `size` bytes; capacity()
    // says how many. Raises ztkBase::bad_alloc.
    static object_slab* create(std::size_t size, std::size_t wanted);
    // Frees a slab none of whose objects is made (or all are destroyed).
    static void discard(object_slab* slab) noexcept;

    std::size_t capacity() const { return capacity_; }
    void* slot(std::size_t i) { return reinterpret_cast<uint8_t*>(this) + kHeader + i * size_; }
    void hold(std::size_t objects) { live_.store(objects, std::memory_order_relaxed); }
    void release_one() noexcept {
        if (live_.fetch_sub(1, std::memory_order_acq_rel) == 1)
            discard(this);
    }

private:
    static constexpr std::size_t kHeader = 64;
    object_slab(std::size_t size, std::size_t capacity, bool mapped) : size_(size), capacity_(capacity), mapped_(mapped) {}

    std::atomic<std::size_t> live_{0};
    std::size_t size_;
    std::size_t capacity_;
    bool mapped_;
};

// Adaptor for an object living in a slab: dispose destroys it in place and
// gives back its share of the slab.
template <class T>
class slab_object_t final : public T {
public:
    template <class... Args>
    explicit slab_object_t(object_slab* slab, Args&&... args) : T(std::forward<Args>(args)...), slab_(slab) {}
    void Dispose() override {
        object_slab* slab = slab_;
        this->~slab_object_t();
        slab->release_one();
    }

private:
    object_slab* slab_;
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

// Makes `count` objects of T, the i-th constructed from argument(i), and
// hands each to emit(SharedHandle<T>) in order. The objects share slabs of
// memory and get their handles in runs (one lock per run of the handle
// table), which makes a load's many items cheaply. An exception from a
// constructor or a lack of memory leaves no object of the failed run alive;
// those emitted before stay with the caller.
template <class T, class Argument, class Emit>
void make_objects(std::size_t count, Argument argument, Emit emit) {
    using Wrapped = ztkBase::detail::slab_object_t<T>;
    using Slab = ztkBase::detail::object_slab;
    std::vector<void*> objects;
    std::vector<ZTHANDLE> handles;
    for (std::size_t first = 0; first < count;) {
        Slab* slab = Slab::create(sizeof(Wrapped), count - first);
        const std::size_t run = std::min(slab->capacity(), count - first);
        std::size_t made = 0;
        auto undo = [&] {
            for (std::size_t k = 0; k < made; ++k)
                static_cast<Wrapped*>(slab->slot(k))->~Wrapped();
            Slab::discard(slab);
        };
        try {
            objects.resize(run);
            handles.resize(run);
            for (; made < run; ++made) {
                auto* object = ::new (slab->slot(made)) Wrapped(slab, argument(first + made));
                objects[made] = static_cast<ZTK::IDisposableType*>(object);
            }
        } catch (...) {
            undo();
            throw;
        }
        if (ZtCreateBoundHandles(run, objects.data(), 0, handles.data()) != 0) {
            undo();
            throw ztkBase::bad_alloc();
        }
        slab->hold(run);
        // Held first, so that an exception from emit releases the rest.
        std::vector<SharedHandle<T>> made_run;
        try {
            made_run.reserve(run);
        } catch (...) {
            for (std::size_t k = 0; k < run; ++k)
                ZtRelease(handles[k]);
            throw;
        }
        for (std::size_t k = 0; k < run; ++k)
            made_run.push_back(SharedHandle<T>::adopt(handles[k], static_cast<Wrapped*>(slab->slot(k))));
        for (SharedHandle<T>& object : made_run)
            emit(std::move(object));
        first += run;
    }
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

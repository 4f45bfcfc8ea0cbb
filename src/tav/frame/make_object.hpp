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

// Makes many objects of T one after another, as a load makes its items: the
// objects share slabs of memory, and get their handles in runs, one lock of
// the handle table per run. Each full run is handed to emit(SharedHandle<T>)
// in order; finish() hands over the last one. An exception from a
// constructor leaves the objects of the unfinished run unmade (those emitted
// before stay with whoever took them).
template <class T, class Emit>
class object_batch {
public:
    // `expected`: how many objects will be added, to size the slabs.
    object_batch(std::size_t expected, Emit emit) : left_(expected), emit_(std::move(emit)) {}
    ~object_batch() { abandon(); }
    object_batch(const object_batch&) = delete;
    object_batch& operator=(const object_batch&) = delete;

    template <class... Args>
    void add(Args&&... args) {
        if (slab_ == nullptr)
            open();
        auto* object = ::new (slab_->slot(made_)) Wrapped(slab_, std::forward<Args>(args)...);
        objects_[made_++] = static_cast<ZTK::IDisposableType*>(object);
        if (made_ == objects_.size())
            flush();
    }
    void finish() {
        if (slab_ != nullptr)
            flush();
    }

private:
    using Wrapped = ztkBase::detail::slab_object_t<T>;
    using Slab = ztkBase::detail::object_slab;

    void open() {
        slab_ = Slab::create(sizeof(Wrapped), std::max<std::size_t>(left_, 1));
        try {
            objects_.resize(std::min(slab_->capacity(), std::max<std::size_t>(left_, 1)));
            handles_.resize(objects_.size());
        } catch (...) {
            abandon();
            throw;
        }
    }
    // Destroys the objects of the unfinished run and gives back its slab.
    void abandon() noexcept {
        if (slab_ == nullptr)
            return;
        for (std::size_t k = 0; k < made_; ++k)
            static_cast<Wrapped*>(slab_->slot(k))->~Wrapped();
        Slab::discard(std::exchange(slab_, nullptr));
        made_ = 0;
    }
    void flush() {
        const std::size_t run = made_;
        if (run == 0) {
            abandon();
            return;
        }
        if (ZtCreateBoundHandles(run, objects_.data(), 0, handles_.data()) != 0) {
            abandon();
            throw ztkBase::bad_alloc();
        }
        Slab* slab = std::exchange(slab_, nullptr);
        slab->hold(run);
        made_ = 0;
        left_ = left_ > run ? left_ - run : 0;
        // Held first, so that an exception from emit releases the rest.
        try {
            held_.reserve(run);
        } catch (...) {
            for (std::size_t k = 0; k < run; ++k)
                ZtRelease(handles_[k]);
            throw;
        }
        for (std::size_t k = 0; k < run; ++k)
            held_.push_back(SharedHandle<T>::adopt(handles_[k], static_cast<Wrapped*>(slab->slot(k))));
        try {
            for (SharedHandle<T>& object : held_)
                emit_(std::move(object));
        } catch (...) {
            held_.clear();
            throw;
        }
        held_.clear();
    }

    std::size_t left_;
    Emit emit_;
    Slab* slab_ = nullptr;
    std::size_t made_ = 0;
    // Reused from run to run.
    std::vector<void*> objects_;
    std::vector<ZTHANDLE> handles_;
    std::vector<SharedHandle<T>> held_;
};

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

#pragma once
// The two holders of library objects. A SharedHandle keeps its object alive
// (one ordinary reference); a LinkHandle only keeps the handle value
// meaningful (one link reference) and must be locked to reach the object.
#include <cstdint>
#include <type_traits>
#include <utility>

#include <zt/ztbase.h>

#include "tav/frame/exceptions.hpp"
#include "tav/frame/interface_ids.hpp"

namespace Korvu2::TAV {

// Maps an interface class to its family; specialised next to each interface.
template <class I>
struct interface_family;

// Queries h for I's interface; null if the object does not list it.
template <class I>
I* query_interface(ZTHANDLE h) {
    void* p = nullptr;
    if (ZtQueryInterface(h, interface_id(interface_family<I>::value), &p) < 0)
        return nullptr;
    return static_cast<I*>(p);
}

template <class I>
class SharedHandle {
public:
    SharedHandle() = default;
    SharedHandle(const SharedHandle& other) : handle_(other.handle_), object_(other.object_) {
        if (handle_ != 0)
            ZtAddRef(handle_);
    }
    SharedHandle(SharedHandle&& other) noexcept
        : handle_(std::exchange(other.handle_, 0)), object_(std::exchange(other.object_, nullptr)) {}
    SharedHandle& operator=(SharedHandle other) noexcept {
        swap(other);
        return *this;
    }
    // Upcast from a holder of a derived class (moves its reference).
    template <class J>
        requires(std::is_convertible_v<J*, I*> && !std::is_same_v<J, I>)
    SharedHandle(SharedHandle<J>&& other) noexcept : object_(other.get()) {
        handle_ = other.release();
    }
    ~SharedHandle() { reset(); }

    // Takes over a reference the caller already owns.
    static SharedHandle adopt(ZTHANDLE handle, I* object) {
        SharedHandle s;
        s.handle_ = handle;
        s.object_ = object;
        return s;
    }
    // Takes a new reference (add reference, no check).
    static SharedHandle share(ZTHANDLE handle, I* object) {
        if (handle != 0)
            ZtAddRef(handle);
        return adopt(handle, object);
    }
    // Takes a checked reference and queries I; empty if either fails.
    static SharedHandle from_handle(ZTHANDLE handle) {
        if (handle == 0 || ZtCheckedAddRef(handle) < 0)
            return {};
        I* object = query_interface<I>(handle);
        if (object == nullptr) {
            ZtRelease(handle);
            return {};
        }
        return adopt(handle, object);
    }

    void reset() noexcept {
        if (handle_ != 0)
            ZtRelease(std::exchange(handle_, 0));
        object_ = nullptr;
    }
    // Gives the reference to the caller (for returning a new object).
    ZTHANDLE release() noexcept {
        object_ = nullptr;
        return std::exchange(handle_, 0);
    }
    void swap(SharedHandle& other) noexcept {
        std::swap(handle_, other.handle_);
        std::swap(object_, other.object_);
    }

    ZTHANDLE handle() const { return handle_; }
    I* get() const { return object_; }
    I* operator->() const { return object_; }
    I& operator*() const { return *object_; }
    explicit operator bool() const { return object_ != nullptr; }

    // Another view of the same object (e.g. its concrete class), with its
    // own reference; empty when object is null.
    template <class J>
    SharedHandle<J> as(J* object) const {
        return object ? SharedHandle<J>::share(handle_, object) : SharedHandle<J>();
    }

private:
    ZTHANDLE handle_ = 0;
    I* object_ = nullptr;
};

template <class I>
class LinkHandle {
public:
    LinkHandle() = default;
    explicit LinkHandle(ZTHANDLE handle) : handle_(handle) {
        if (handle_ != 0)
            ZtAddLinkRef(handle_);
    }
    LinkHandle(const LinkHandle& other) : LinkHandle(other.handle_) {}
    // Takes over a link reference the caller already holds.
    static LinkHandle adopt(ZTHANDLE handle) noexcept {
        LinkHandle l;
        l.handle_ = handle;
        return l;
    }
    LinkHandle(LinkHandle&& other) noexcept : handle_(std::exchange(other.handle_, 0)) {}
    LinkHandle& operator=(LinkHandle other) noexcept {
        std::swap(handle_, other.handle_);
        return *this;
    }
    ~LinkHandle() { reset(); }

    void reset() noexcept {
        if (handle_ != 0)
            ZtReleaseLinkRef(std::exchange(handle_, 0));
    }
    ZTHANDLE handle() const { return handle_; }
    // Gives the link reference up to the caller, who must release it.
    ZTHANDLE release() noexcept { return std::exchange(handle_, 0); }
    explicit operator bool() const { return handle_ != 0; }
    bool operator==(const LinkHandle& other) const { return handle_ == other.handle_; }

    // The object, with a reference; empty for a null link or one whose object
    // does not list I. Raises bad_weak_ptr when the object has gone.
    SharedHandle<I> lock() const {
        if (handle_ == 0)
            return {};
        if (ZtCheckedAddRef(handle_) < 0)
            throw ztkBase::bad_weak_ptr();
        I* object = query_interface<I>(handle_);
        if (object == nullptr) {
            ZtRelease(handle_);
            return {};
        }
        return SharedHandle<I>::adopt(handle_, object);
    }

private:
    ZTHANDLE handle_ = 0;
};

} // namespace Korvu2::TAV

#pragma once
// The frame every exported function runs in:
//
//   return frame::status("TavSetExcludedFlag", [&](frame::Call& call) {
//       auto& label = call.take<ITavLabel>(handle);
//       label.SetExcluded(flag != 0);
//   });
//
// Handles are taken through the Call (null test, checked add reference,
// interface query) and released when the body ends, on every path. A body
// signals a tested condition with frame::fail(code[, message[, name]]); it is
// reported once, under the function's name unless another is given. Any other
// exception is caught here and reported (a library exception with its own
// code, memory exhaustion as ErrOutOfMemory, anything else as ErrFailure), so
// nothing ever crosses the C boundary.
#include <array>
#include <cstddef>
#include <cstdint>
#include <new>
#include <string>
#include <type_traits>

#include <zt/ztbase.h>

#include "tav/frame/error_codes.hpp"
#include "tav/frame/exceptions.hpp"
#include "tav/frame/holders.hpp"

namespace Korvu2::TAV::frame {

// A condition the function tests, with the code (and optional message and
// reported name) it fails with.
struct Failure {
    int32_t code;
    const char* message = nullptr;
    const char* function = nullptr;
};

[[noreturn]] inline void fail(int32_t code, const char* message = nullptr, const char* function = nullptr) {
    throw Failure{code, message, function};
}

// An out pointer the caller must supply: null fails the call.
template <class T>
T& out(T* pointer, int32_t code = ErrInvalidArgument) {
    if (pointer == nullptr)
        fail(code);
    return *pointer;
}

// Reports under function, with message when there is one.
void report(int32_t code, const char* message, const char* function) noexcept;

class Call {
public:
    Call() = default;
    Call(const Call&) = delete;
    Call& operator=(const Call&) = delete;
    ~Call() {
        while (held_count_ > 0)
            ZtRelease(held_[--held_count_]);
    }

    // Null test, checked add reference, interface query; a failing step
    // fails the call with code (the reference, if taken, is released).
    template <class I>
    I& take(ZTHANDLE handle, int32_t code = ErrInvalidArgument, const char* message = nullptr) {
        if (handle == 0 || ZtCheckedAddRef(handle) < 0)
            fail(code, message);
        hold(handle);
        I* object = query_interface<I>(handle);
        if (object == nullptr)
            fail(code, message);
        return *object;
    }

    // As take, but with a plain add reference after the null test.
    template <class I>
    I& take_unchecked(ZTHANDLE handle, int32_t code = ErrInvalidArgument, const char* message = nullptr) {
        if (handle == 0)
            fail(code, message);
        ZtAddRef(handle);
        hold(handle);
        I* object = query_interface<I>(handle);
        if (object == nullptr)
            fail(code, message);
        return *object;
    }

    // Is-object test and interface query without taking a reference: the
    // caller's own reference keeps the object alive for the call.
    template <class I>
    I& peek(ZTHANDLE handle, int32_t code = ErrInvalidArgument, const char* message = nullptr) {
        if (handle == 0 || ZtIsObject(handle) == 0)
            fail(code, message);
        I* object = query_interface<I>(handle);
        if (object == nullptr)
            fail(code, message);
        return *object;
    }

private:
    void hold(ZTHANDLE handle) {
        if (held_count_ == held_.size()) {
            ZtRelease(handle);
            throw std::logic_error("too many handles in one call");
        }
        held_[held_count_++] = handle;
    }

    std::array<ZTHANDLE, 6> held_{};
    std::size_t held_count_ = 0;
};

// Failure values by kind of result.
struct StatusResult {
    using type = int32_t;
    static type failure(int32_t code) { return code; }
};
struct CountResult {
    using type = int32_t;
    static type failure(int32_t) { return -1; }
};
struct HandleResult {
    using type = ZTHANDLE;
    static type failure(int32_t) { return 0; }
};

template <class Kind, class Body>
typename Kind::type run(const char* function, Body&& body) noexcept {
    try {
        Call call;
        if constexpr (std::is_void_v<std::invoke_result_t<Body&, Call&>>) {
            body(call);
            return 0;
        } else {
            return body(call);
        }
    } catch (const Failure& f) {
        report(f.code, f.message, f.function ? f.function : function);
        return Kind::failure(f.code);
    } catch (const ztkBase::exception& e) {
        report(e.code(), e.message().empty() ? nullptr : e.message().c_str(), function);
        return Kind::failure(e.code());
    } catch (const std::bad_alloc&) {
        report(ErrOutOfMemory, nullptr, function);
        return Kind::failure(ErrOutOfMemory);
    } catch (...) {
        report(ErrFailure, nullptr, function);
        return Kind::failure(ErrFailure);
    }
}

// A status: 0 (or what the body returns) on success, the code on failure.
template <class Body>
int32_t status(const char* function, Body&& body) noexcept {
    return run<StatusResult>(function, std::forward<Body>(body));
}
// A count or index: -1 on failure.
template <class Body>
int32_t count(const char* function, Body&& body) noexcept {
    return run<CountResult>(function, std::forward<Body>(body));
}
// A handle: 0 on failure.
template <class Body>
ZTHANDLE handle(const char* function, Body&& body) noexcept {
    return run<HandleResult>(function, std::forward<Body>(body));
}

// The type tests: 1 when h is a live object listing I's interface. Takes no
// reference and reports nothing.
template <class I>
int32_t is_family(ZTHANDLE h) noexcept {
    if (h == 0 || ZtIsObject(h) == 0)
        return 0;
    void* p = nullptr;
    return ZtQueryInterface(h, interface_id(interface_family<I>::value), &p) >= 0 ? 1 : 0;
}

} // namespace Korvu2::TAV::frame

#pragma once
// Ownership of library handles and the library's error reports, for the
// Python binding. Nothing here touches Python, so it may run without the GIL.
#include <cstdint>
#include <stdexcept>
#include <string>
#include <utility>

#include <tav/tav.h>

namespace tavpy {

// One reference of a handle that a creator returned; released once, on
// destruction or reset. Borrowed handles from getters never go in here.
class Owned {
public:
    Owned() = default;
    explicit Owned(ZTHANDLE handle) : handle_(handle) {}
    Owned(Owned&& other) noexcept : handle_(std::exchange(other.handle_, 0)) {}
    Owned& operator=(Owned&& other) noexcept {
        reset(std::exchange(other.handle_, 0));
        return *this;
    }
    Owned(const Owned&) = delete;
    Owned& operator=(const Owned&) = delete;
    ~Owned() { reset(); }

    void reset(ZTHANDLE handle = 0) noexcept {
        if (handle_)
            ZtRelease(handle_);
        handle_ = handle;
    }
    ZTHANDLE get() const { return handle_; }
    explicit operator bool() const { return handle_ != 0; }

private:
    ZTHANDLE handle_ = 0;
};

// A failure the library reported: code, reporting function, message.
struct LibraryError : std::runtime_error {
    LibraryError(int32_t code, std::string function, std::string message)
        : std::runtime_error(function + ": " + message), code(code), function(std::move(function)),
          message(std::move(message)) {}
    int32_t code;
    std::string function;
    std::string message;
    // A file failure's file, so that the system's reason can be found.
    enum Access { None, Read, Write } access = None;
    std::u16string filename;
};

// Watches this thread's error reports across one library call. Made before
// the call; a failed result then throws the report the call made, or, if it
// made none, a general failure named after the called function.
class Reports {
public:
    Reports() : before_(ZtErrorReportCount()) {}

    // Whether the library reported anything since this object was made.
    bool reported() const { return ZtErrorReportCount() != before_; }
    [[noreturn]] void raise(const char* called, int32_t code = TAV_E_FAILURE) const;
    void status(int32_t result, const char* called) const {
        if (result != 0)
            raise(called, result);
    }
    ZTHANDLE handle(ZTHANDLE result, const char* called) const {
        if (!result)
            raise(called);
        return result;
    }
    int32_t count(int32_t result, const char* called) const {
        if (result < 0)
            raise(called);
        return result;
    }

private:
    uint64_t before_;
};

} // namespace tavpy

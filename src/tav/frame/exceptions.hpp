#pragma once
// The exceptions raised inside the library. None crosses the exported
// boundary: the call frame turns each into an error report.
#include <cstdint>
#include <exception>
#include <stdexcept>
#include <string>
#include <utility>

#include "tav/frame/error_codes.hpp"

namespace ztkBase {

class exception : public std::exception {
public:
    exception(std::string message, int32_t code) : message_(std::move(message)), code_(code) {}
    const char* what() const noexcept override { return message_.c_str(); }
    int32_t code() const noexcept { return code_; }
    const std::string& message() const noexcept { return message_; }

private:
    std::string message_;
    int32_t code_;
};

class bad_alloc : public exception {
public:
    bad_alloc() : exception("", Korvu2::TAV::ErrOutOfMemory) {}
};

class runtime_error : public exception {
public:
    runtime_error() : exception("", Korvu2::TAV::ErrFailure) {}
};

class logic_error : public exception {
public:
    logic_error(std::string message, int32_t code) : exception(std::move(message), code) {}
};

class invalid_argument : public logic_error {
public:
    explicit invalid_argument(std::string message) : logic_error(std::move(message), Korvu2::TAV::ErrInvalidArgument) {}
};

class argument_null : public invalid_argument {
public:
    argument_null() : invalid_argument("ptr") {}
};

class invalid_operation : public logic_error {
public:
    invalid_operation() : logic_error("empty shared_ptr", Korvu2::TAV::ErrInvalidOperation) {}
};

class bad_weak_ptr : public exception {
public:
    bad_weak_ptr() : exception("shared object expired", Korvu2::TAV::ErrExpired) {}
};

} // namespace ztkBase

// The error type of the version-1 import: a small positive code (1, 3, ...)
// without the top bit, and a text.
class ZtkException : public std::exception {
public:
    ZtkException(uint32_t code, std::string message) : code_(code), message_(std::move(message)) {}
    const char* what() const noexcept override { return message_.c_str(); }
    uint32_t code() const noexcept { return code_; }

private:
    uint32_t code_;
    std::string message_;
};

namespace Korvu2::TAV {
// Raised and caught inside one comparison to stop it at the first difference.
struct difference_found {};
} // namespace Korvu2::TAV

namespace base2 {
// A code-page conversion failed.
class character_conversion_error : public std::runtime_error {
public:
    character_conversion_error() : std::runtime_error("") {}
};
} // namespace base2

#pragma once
// The three error classes of the xriff stream library. They live in namespace
// std because callers catch them there by these exact names.
#include <stdexcept>

namespace std {

// Usage errors of the writer ("file not open", "no open composites available").
class xriff_error : public runtime_error {
public:
    using runtime_error::runtime_error;
};

// Failed I/O and malformed input.
class xriff_io_error : public runtime_error {
public:
    using runtime_error::runtime_error;
};

// A read that reached or would run past the end of the file.
class xriff_eof_error : public xriff_io_error {
public:
    xriff_eof_error() : xriff_io_error("passed end of file") {}
};

} // namespace std

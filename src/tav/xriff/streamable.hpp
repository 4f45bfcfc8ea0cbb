#pragma once
// The interface of an object that knows its own stored form as one chunk.
#include <cstdint>

#include "tav/xriff/fixed_string.hpp"

namespace vxIO {

class ixriff_streamable {
public:
    // Builds the payload; the pointer and size stay valid until clear().
    virtual void prepare() = 0;
    virtual xriff_fixed_string<8> chunk_type() const = 0;
    // All zero when the object has no name of its own.
    virtual xriff_fixed_string<16> chunk_name() const = 0;
    virtual uint64_t chunk_size() const = 0;
    virtual const void* chunk_data() const = 0;
    // Releases what prepare() built.
    virtual void clear() = 0;

protected:
    ~ixriff_streamable() = default;
};

} // namespace vxIO

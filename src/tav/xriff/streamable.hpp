#pragma once
// The interface of an object that knows its own stored form as one chunk.
#include <cstdint>
#include <vector>

#include "tav/xriff/fixed_string.hpp"

namespace vxIO {

class ixriff_streamable {
public:
    // Builds the payload; the pointer and size stay valid until clear() or
    // the next prepare() of any object on this thread.
    virtual void prepare() = 0;
    virtual xriff_fixed_string<8> chunk_type() const = 0;
    // All zero when the object has no name of its own.
    virtual xriff_fixed_string<16> chunk_name() const = 0;
    virtual uint64_t chunk_size() const = 0;
    virtual const void* chunk_data() const = 0;
    // Releases what prepare() built.
    virtual void clear() = 0;

    // An object that can write its payload into memory the writer gives it,
    // sparing the copy from a buffer of its own, returns the payload's size
    // here; the writer then calls write_payload with room for exactly that
    // many bytes instead of prepare(), chunk_data() and clear(). 0 (the
    // default): the object has no such way, or an empty payload.
    virtual uint64_t direct_payload_size() { return 0; }
    virtual void write_payload(void* /*out*/, uint64_t /*size*/) {}

protected:
    ~ixriff_streamable() = default;
};

// The buffer an object's prepare() builds its payload in: one per thread,
// not one per object, so that one object (a type shared by several lists, an
// item of a list) may be stored from several threads at once, and a store of
// many items reuses one buffer instead of allocating one per item.
inline std::vector<uint8_t>& prepare_buffer() {
    thread_local std::vector<uint8_t> buffer;
    return buffer;
}

// Empties the buffer after a write; a very large one is given back.
inline void release_prepare_buffer() {
    std::vector<uint8_t>& buffer = prepare_buffer();
    if (buffer.capacity() > (16u << 20))
        std::vector<uint8_t>().swap(buffer);
    else
        buffer.clear();
}

} // namespace vxIO

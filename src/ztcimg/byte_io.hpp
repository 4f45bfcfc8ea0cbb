#pragma once
// Byte order of the stored form: little-endian throughout. put_* append to a
// bounded output, get_* read from a bounded input; neither runs past its end.
#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <stdexcept>

namespace ztcimg {

// Raised for any blob that cannot be an image; the message says what is wrong.
class stored_form_error : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

class ByteWriter {
public:
    ByteWriter(uint8_t* out, size_t size) : out_(out), left_(size) {}

    void put_bytes(const void* p, size_t n) {
        if (n > left_)
            throw stored_form_error("buffer too small");
        std::memcpy(out_, p, n);
        out_ += n;
        left_ -= n;
    }
    void put_u32(uint32_t v) {
        const uint8_t b[4] = {uint8_t(v), uint8_t(v >> 8), uint8_t(v >> 16), uint8_t(v >> 24)};
        put_bytes(b, 4);
    }
    // n elements of `size` bytes each, from host order to little-endian.
    void put_elements(const uint8_t* p, size_t n, int size) {
        if constexpr (std::endian::native == std::endian::little) {
            put_bytes(p, n * static_cast<size_t>(size));
        } else {
            for (size_t i = 0; i < n; ++i, p += size)
                for (int k = size - 1; k >= 0; --k)
                    put_bytes(p + k, 1);
        }
    }
    size_t left() const { return left_; }

private:
    uint8_t* out_;
    size_t left_;
};

class ByteReader {
public:
    ByteReader(const uint8_t* in, size_t size) : in_(in), left_(size) {}

    void get_bytes(void* p, size_t n, const char* what) {
        if (n > left_)
            throw stored_form_error(what);
        std::memcpy(p, in_, n);
        in_ += n;
        left_ -= n;
    }
    uint32_t get_u32(const char* what) {
        uint8_t b[4];
        get_bytes(b, 4, what);
        return uint32_t(b[0]) | uint32_t(b[1]) << 8 | uint32_t(b[2]) << 16 | uint32_t(b[3]) << 24;
    }
    int32_t get_i32(const char* what) { return static_cast<int32_t>(get_u32(what)); }
    // n elements of `size` bytes each, from little-endian to host order.
    void get_elements(uint8_t* p, size_t n, int size, const char* what) {
        if constexpr (std::endian::native == std::endian::little) {
            get_bytes(p, n * static_cast<size_t>(size), what);
        } else {
            for (size_t i = 0; i < n; ++i, p += size)
                for (int k = size - 1; k >= 0; --k)
                    get_bytes(p + k, 1, what);
        }
    }
    size_t left() const { return left_; }

private:
    const uint8_t* in_;
    size_t left_;
};

} // namespace ztcimg

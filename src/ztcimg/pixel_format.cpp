#include "pixel_format.hpp"

#include <cfloat>
#include <cmath>
#include <cstring>
#include <limits>

namespace ztcimg {
namespace {

template <class T>
T read_as(const uint8_t* p) {
    T v;
    std::memcpy(&v, p, sizeof v);
    return v;
}

template <class T>
void write_as(uint8_t* p, T v) {
    std::memcpy(p, &v, sizeof v);
}

// The container's bits, sign-extended for signed formats.
int64_t read_signed(const uint8_t* p, int bytes) {
    switch (bytes) {
    case 1: return read_as<int8_t>(p);
    case 2: return read_as<int16_t>(p);
    case 4: return read_as<int32_t>(p);
    default: return read_as<int64_t>(p);
    }
}

uint64_t read_unsigned(const uint8_t* p, int bytes) {
    switch (bytes) {
    case 1: return read_as<uint8_t>(p);
    case 2: return read_as<uint16_t>(p);
    case 4: return read_as<uint32_t>(p);
    default: return read_as<uint64_t>(p);
    }
}

// Narrowing to the container keeps the low bits, which is the value itself
// because it was clamped to the format's range first.
void write_bits(uint8_t* p, int bytes, uint64_t bits) {
    switch (bytes) {
    case 1: write_as(p, static_cast<uint8_t>(bits)); break;
    case 2: write_as(p, static_cast<uint16_t>(bits)); break;
    case 4: write_as(p, static_cast<uint32_t>(bits)); break;
    default: write_as(p, bits); break;
    }
}

} // namespace

std::optional<PixelFormat> PixelFormat::describe(uint32_t data_type) {
    PixelFormat f;
    f.bits = static_cast<int>(data_type & 0xFFu);
    f.is_signed = (data_type & 0x100u) != 0;
    f.is_float = (data_type & 0x200u) != 0;
    if (f.bits < 1 || f.bits > 64)
        return std::nullopt;
    if (f.is_float && (!f.is_signed || (f.bits != 32 && f.bits != 64)))
        return std::nullopt;
    f.bytes = f.bits <= 8 ? 1 : f.bits <= 16 ? 2 : f.bits <= 32 ? 4 : 8;
    return f;
}

int64_t PixelFormat::max_signed() const {
    return static_cast<int64_t>((uint64_t{1} << (bits - 1)) - 1);
}

int64_t PixelFormat::min_signed() const { return -max_signed() - 1; }

uint64_t PixelFormat::max_unsigned() const {
    return bits == 64 ? std::numeric_limits<uint64_t>::max() : (uint64_t{1} << bits) - 1;
}

double PixelFormat::load(const uint8_t* element) const {
    if (is_float)
        return bytes == 4 ? static_cast<double>(read_as<float>(element)) : read_as<double>(element);
    if (is_signed)
        return static_cast<double>(read_signed(element, bytes));
    return static_cast<double>(read_unsigned(element, bytes));
}

void PixelFormat::store(uint8_t* element, double value) const {
    if (is_float) {
        if (bytes == 8) {
            write_as(element, value);
        } else if (std::isfinite(value) && std::fabs(value) > FLT_MAX) {
            write_as(element, std::copysign(std::numeric_limits<float>::infinity(), static_cast<float>(value)));
        } else {
            write_as(element, static_cast<float>(value));
        }
        return;
    }
    if (std::isnan(value)) {
        write_bits(element, bytes, 0);
        return;
    }
    const double r = std::round(value);
    // Both bounds are powers of two, exact as doubles for every bit count.
    if (is_signed) {
        const double upper = std::ldexp(1.0, bits - 1);
        int64_t v;
        if (r >= upper)
            v = max_signed();
        else if (r < -upper)
            v = min_signed();
        else
            v = static_cast<int64_t>(r);
        write_bits(element, bytes, static_cast<uint64_t>(v));
    } else {
        const double upper = std::ldexp(1.0, bits);
        uint64_t v;
        if (r >= upper)
            v = max_unsigned();
        else if (r <= 0.0)
            v = 0;
        else
            v = static_cast<uint64_t>(r);
        write_bits(element, bytes, v);
    }
}

bool PixelFormat::holds_valid_value(const uint8_t* element) const {
    if (is_float || bits == bytes * 8)
        return true;
    if (is_signed) {
        const int64_t v = read_signed(element, bytes);
        return v >= min_signed() && v <= max_signed();
    }
    return read_unsigned(element, bytes) <= max_unsigned();
}

} // namespace ztcimg

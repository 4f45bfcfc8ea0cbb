#pragma once
// What a data-type word says about one plane's pixels, and the conversion of
// single pixel values between their stored element and a double.
//
// Every pixel is held in the smallest container of 1, 2, 4 or 8 bytes that
// holds its bits: 1..8 bits take one byte, 9..16 two, 17..32 four, 33..64
// eight. Integer pixels of fewer bits than their container are kept in range
// (signed ones sign-extended), so the container's value is the pixel's value.
#include <cstdint>
#include <optional>

namespace ztcimg {

struct PixelFormat {
    int bits = 0;      // significant bits, 1..64
    int bytes = 0;     // container size: 1, 2, 4 or 8
    bool is_signed = false;
    bool is_float = false;

    // The format a data-type word describes; none for an invalid word. Bits
    // above 0x3FF are flags that do not change the format.
    static std::optional<PixelFormat> describe(uint32_t data_type);

    // Smallest and largest value of an integer format.
    int64_t min_signed() const;
    int64_t max_signed() const;
    uint64_t max_unsigned() const;

    double load(const uint8_t* element) const;
    // Integers are rounded to nearest and clamped to the format's range (NaN
    // gives 0); floats are converted (too large a value becomes an infinity).
    void store(uint8_t* element, double value) const;
    // Whether an element read from outside holds a value the format allows.
    bool holds_valid_value(const uint8_t* element) const;
};

} // namespace ztcimg

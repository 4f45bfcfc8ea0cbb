#pragma once
// A field of exactly N bytes with no terminator: shorter text is padded with
// NUL bytes, text of exactly N bytes fills it. Equality and order are
// byte-wise over all N bytes.
#include <algorithm>
#include <array>
#include <compare>
#include <cstddef>
#include <cstring>
#include <string>
#include <string_view>

namespace vxIO {

template <std::size_t N>
class xriff_fixed_string {
public:
    constexpr xriff_fixed_string() { bytes_.fill(0); }
    // Text longer than N is cut to N bytes.
    constexpr xriff_fixed_string(std::string_view text) {
        bytes_.fill(0);
        std::copy_n(text.begin(), std::min(text.size(), N), bytes_.begin());
    }
    constexpr xriff_fixed_string(const char* text) : xriff_fixed_string(std::string_view(text)) {}
    constexpr xriff_fixed_string(const std::string& text) : xriff_fixed_string(std::string_view(text)) {}

    static xriff_fixed_string from_bytes(const void* bytes) {
        xriff_fixed_string s;
        std::memcpy(s.bytes_.data(), bytes, N);
        return s;
    }

    const char* data() const { return reinterpret_cast<const char*>(bytes_.data()); }
    static constexpr std::size_t size() { return N; }
    constexpr bool empty() const {
        return std::all_of(bytes_.begin(), bytes_.end(), [](unsigned char c) { return c == 0; });
    }
    // The text up to the first NUL (or all N bytes).
    std::string str() const {
        auto end = std::find(bytes_.begin(), bytes_.end(), 0);
        return std::string(bytes_.begin(), end);
    }

    friend bool operator==(const xriff_fixed_string&, const xriff_fixed_string&) = default;
    friend auto operator<=>(const xriff_fixed_string&, const xriff_fixed_string&) = default;

private:
    std::array<unsigned char, N> bytes_;
};

} // namespace vxIO

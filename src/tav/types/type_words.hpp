#pragma once
// The stored form of the type descriptors: a few little-endian 32-bit words,
// the first of which is the type enum. Writing and reading sit side by side.
#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <stdexcept>
#include <vector>

namespace Korvu2::TAV::Objects {

// Raised by every constructor from stored words that cannot accept them.
inline constexpr const char* kInvalidTypeDescriptors = "Invalid type descriptors";

namespace type_words {

inline void append(std::vector<uint8_t>& out, uint32_t word) {
    for (int shift = 0; shift < 32; shift += 8)
        out.push_back(static_cast<uint8_t>(word >> shift));
}

inline uint32_t word_at(const uint8_t* bytes, std::size_t index) {
    const uint8_t* p = bytes + 4 * index;
    return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}

// The leading type enum of a stored descriptor; empty when there is no
// complete first word.
inline std::optional<int32_t> stored_type_enum(const void* payload, uint64_t size) {
    if (payload == nullptr || size < 4)
        return std::nullopt;
    return static_cast<int32_t>(word_at(static_cast<const uint8_t*>(payload), 0));
}

// Exactly N words led by the expected type enum. A null payload stands for a
// missing chunk. Anything else is refused with "Invalid type descriptors".
template <std::size_t N>
std::array<int32_t, N> read_exact(const void* payload, uint64_t size, int32_t type_enum) {
    if (payload == nullptr || size != 4 * N)
        throw std::runtime_error(kInvalidTypeDescriptors);
    std::array<int32_t, N> words{};
    for (std::size_t i = 0; i < N; ++i)
        words[i] = static_cast<int32_t>(word_at(static_cast<const uint8_t*>(payload), i));
    if (words[0] != type_enum)
        throw std::runtime_error(kInvalidTypeDescriptors);
    return words;
}

} // namespace type_words
} // namespace Korvu2::TAV::Objects

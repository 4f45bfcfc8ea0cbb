#pragma once
// How a handle value is built from a table slot and its generation.
//
//   bits 63..56  fixed tag, so a value is never 0 and most made-up values fail at once
//   bits 55..28  generation of the slot when the handle was made
//   bits 27..0   slot index
//
// Each slot starts at a generation derived from its index by a hash, so
// neighbouring slots do not share generations and "handle + 1" names a slot
// whose generation almost surely differs.
#include <cstdint>
#include <optional>

#include <zt/ztbase.h>

namespace ZTK::detail {

inline constexpr uint64_t kHandleTag = 0xA7;
inline constexpr unsigned kIndexBits = 28;
inline constexpr unsigned kGenerationBits = 28;
inline constexpr uint32_t kIndexMask = (1u << kIndexBits) - 1;
inline constexpr uint32_t kGenerationMask = (1u << kGenerationBits) - 1;
// Uses of one slot before it is retired: generations then never repeat.
inline constexpr uint32_t kMaxSlotUses = kGenerationMask;
inline constexpr uint32_t kMaxSlots = kIndexMask + 1;

inline constexpr ZTHANDLE encode_handle(uint32_t index, uint32_t generation) {
    return (kHandleTag << 56) | (uint64_t{generation & kGenerationMask} << kIndexBits) |
           (index & kIndexMask);
}

// The slot index a value names, or nothing when its tag is wrong.
inline constexpr std::optional<uint32_t> handle_index(ZTHANDLE h) {
    if ((h >> 56) != kHandleTag)
        return std::nullopt;
    return static_cast<uint32_t>(h & kIndexMask);
}

// First generation of a slot: a 64-bit mix of its index, folded to the field.
inline constexpr uint32_t initial_generation(uint32_t index) {
    uint64_t z = uint64_t{index} + 0x9E3779B97F4A7C15ull;
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
    z ^= z >> 31;
    return static_cast<uint32_t>(z) & kGenerationMask;
}

} // namespace ZTK::detail

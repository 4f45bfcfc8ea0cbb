#pragma once
// The file magic and the chunk type constants of the xriff format. All
// integers in the format are little-endian and copied to and from memory as
// they are, so the library builds only for little-endian targets.
#include <bit>

#include "tav/xriff/fixed_string.hpp"

namespace vxIO {

static_assert(std::endian::native == std::endian::little, "xriff streams copy little-endian integers as they are");

inline constexpr xriff_fixed_string<16> xriff_magic{"ZTKXRIFF        "};

// Size of a chunk header: type (8), name (16), payload size (8).
inline constexpr unsigned xriff_header_size = 32;

namespace xriff_type {
inline constexpr xriff_fixed_string<8> text_utf8{"TXTUTF8 "};
inline constexpr xriff_fixed_string<8> text_utf16{"TXTUTF16"};
inline constexpr xriff_fixed_string<8> array_f32{"ARRYFL32"};
inline constexpr xriff_fixed_string<8> array_f64{"ARRYFL64"};
inline constexpr xriff_fixed_string<8> array_i8{"ARRYI8  "};
inline constexpr xriff_fixed_string<8> array_i16{"ARRYI16 "};
inline constexpr xriff_fixed_string<8> array_i32{"ARRYI32 "};
inline constexpr xriff_fixed_string<8> array_i64{"ARRYI64 "};
inline constexpr xriff_fixed_string<8> array_u8{"ARRYU8  "};
inline constexpr xriff_fixed_string<8> array_u16{"ARRYU16 "};
inline constexpr xriff_fixed_string<8> array_u32{"ARRYU32 "};
inline constexpr xriff_fixed_string<8> array_u64{"ARRYU64 "};
inline constexpr xriff_fixed_string<8> composite{"COMPOSIT"};
inline constexpr xriff_fixed_string<8> null_chunk{"NULLCHNK"};
inline constexpr xriff_fixed_string<8> image{"ZTIMG9  "};
inline constexpr xriff_fixed_string<8> image_compressed{"ZTIMGZ9 "};
inline constexpr xriff_fixed_string<8> data_type{"DATATYPE"};
// These two have seven letters and a NUL byte, not a space.
inline constexpr xriff_fixed_string<8> system_time{"SYSTIME"};
inline constexpr xriff_fixed_string<8> label_type{"LBLTYPE"};
} // namespace xriff_type

} // namespace vxIO

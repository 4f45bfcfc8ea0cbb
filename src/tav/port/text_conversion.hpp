#pragma once
// Text conversions between UTF-8, UTF-16 and the narrow "ANSI" text of the
// calling thread: the codeset of its LC_CTYPE locale.
//
// Every input is taken up to its first zero unit; a null pointer is the empty
// text. Malformed input is replaced by U+FFFD (one per maximal subpart of an
// ill-formed UTF-8 sequence, one per unpaired surrogate), never rejected.
// Characters the narrow codeset lacks become '?'. The only failure is that of
// the conversion machinery itself (no converter for the codeset), raised as
// base2::character_conversion_error.
#include <string>
#include <string_view>

namespace Korvu2::TAV::port {

std::u16string utf8_to_utf16(std::string_view text);
std::u16string utf8_to_utf16(const char* text);

std::string utf16_to_utf8(std::u16string_view text);
std::string utf16_to_utf8(const char16_t* text);

// UTF-8 encoding that keeps each unpaired surrogate as its own three-byte
// form instead of replacing it, so that distinct UTF-16 texts stay distinct
// (used for file names, which must never collide).
std::string utf16_to_utf8_keeping_lone_surrogates(std::u16string_view text);

// True when text (up to its first zero byte) is well-formed UTF-8.
bool is_well_formed_utf8(std::string_view text);

// What a narrow conversion does with bytes that are not valid in the codeset.
enum class malformed_input {
    replace, // each becomes U+FFFD
    reject,  // the conversion raises base2::character_conversion_error
};

std::u16string ansi_to_utf16(std::string_view text, malformed_input malformed = malformed_input::replace);
std::u16string ansi_to_utf16(const char* text, malformed_input malformed = malformed_input::replace);

std::string utf16_to_ansi(std::u16string_view text);
std::string utf16_to_ansi(const char16_t* text);

// The codeset name of the calling thread's LC_CTYPE locale.
std::string ansi_codeset();

// True when the narrow text of the calling thread is UTF-8; plain ASCII (the
// C/POSIX locale) counts as UTF-8.
bool ansi_is_utf8();

} // namespace Korvu2::TAV::port

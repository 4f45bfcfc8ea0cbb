#include "tav/port/text_conversion.hpp"

#include <algorithm>
#include <bit>
#include <cerrno>
#include <cstdint>
#include <cstring>
#include <utility>
#include <vector>

#include <iconv.h>
#include <langinfo.h>
#include <locale.h>

#include "tav/frame/exceptions.hpp"

namespace Korvu2::TAV::port {

namespace {

constexpr char16_t replacement_character = 0xFFFD;

std::string_view up_to_zero(std::string_view text) { return text.substr(0, text.find('\0')); }
std::u16string_view up_to_zero(std::u16string_view text) { return text.substr(0, text.find(u'\0')); }

bool is_high_surrogate(char32_t u) { return u >= 0xD800 && u <= 0xDBFF; }
bool is_low_surrogate(char32_t u) { return u >= 0xDC00 && u <= 0xDFFF; }

// Decodes UTF-8 into out (which must have room for text.size() units) and
// returns the units written. Ill-formed input follows the maximal-subpart
// rule: a byte that cannot start a sequence is replaced alone; a valid start
// followed by a byte that cannot continue it is replaced together with the
// continuation bytes accepted so far, and decoding resumes at the bad byte.
size_t decode_utf8(std::string_view text, char16_t* out, bool& malformed) {
    auto p = reinterpret_cast<const unsigned char*>(text.data());
    const auto end = p + text.size();
    char16_t* o = out;
    while (p < end) {
        // Runs of ASCII are copied eight bytes at a time.
        while (end - p >= 8) {
            uint64_t word;
            std::memcpy(&word, p, 8);
            if (word & 0x8080808080808080ull)
                break;
            for (int i = 0; i < 8; ++i)
                o[i] = p[i];
            o += 8;
            p += 8;
        }
        if (p == end)
            break;
        const unsigned lead = *p++;
        if (lead < 0x80) {
            *o++ = static_cast<char16_t>(lead);
            continue;
        }
        int continuations;
        unsigned low = 0x80, high = 0xBF; // bounds of the first continuation byte
        char32_t cp;
        if (lead >= 0xC2 && lead <= 0xDF) {
            continuations = 1;
            cp = lead & 0x1F;
        } else if (lead >= 0xE0 && lead <= 0xEF) {
            continuations = 2;
            cp = lead & 0x0F;
            if (lead == 0xE0)
                low = 0xA0; // overlong
            else if (lead == 0xED)
                high = 0x9F; // surrogates
        } else if (lead >= 0xF0 && lead <= 0xF4) {
            continuations = 3;
            cp = lead & 0x07;
            if (lead == 0xF0)
                low = 0x90; // overlong
            else if (lead == 0xF4)
                high = 0x8F; // beyond U+10FFFF
        } else {
            *o++ = replacement_character;
            malformed = true;
            continue;
        }
        bool complete = true;
        for (int i = 0; i < continuations; ++i) {
            if (p == end || *p < low || *p > high) {
                complete = false;
                break;
            }
            cp = (cp << 6) | (*p++ & 0x3F);
            low = 0x80;
            high = 0xBF;
        }
        if (!complete) {
            *o++ = replacement_character;
            malformed = true;
        } else if (cp >= 0x10000) {
            cp -= 0x10000;
            *o++ = static_cast<char16_t>(0xD800 + (cp >> 10));
            *o++ = static_cast<char16_t>(0xDC00 + (cp & 0x3FF));
        } else {
            *o++ = static_cast<char16_t>(cp);
        }
    }
    return static_cast<size_t>(o - out);
}

std::u16string decode_utf8(std::string_view text, bool& malformed) {
    text = up_to_zero(text);
    // A UTF-8 byte never yields more than one UTF-16 unit.
    std::u16string out(text.size(), u'\0');
    out.resize(decode_utf8(text, out.data(), malformed));
    return out;
}

std::string encode_utf8(std::u16string_view text, bool keep_lone_surrogates) {
    text = up_to_zero(text);
    std::string out;
    out.reserve(text.size() * 3);
    for (size_t i = 0; i < text.size(); ++i) {
        char32_t cp = text[i];
        if (cp < 0x80) {
            out.push_back(static_cast<char>(cp));
            continue;
        }
        if (is_high_surrogate(cp) && i + 1 < text.size() && is_low_surrogate(text[i + 1])) {
            cp = 0x10000 + ((cp - 0xD800) << 10) + (text[++i] - 0xDC00);
        } else if ((is_high_surrogate(cp) || is_low_surrogate(cp)) && !keep_lone_surrogates) {
            cp = replacement_character;
        }
        if (cp < 0x800) {
            out.push_back(static_cast<char>(0xC0 | (cp >> 6)));
        } else if (cp < 0x10000) {
            out.push_back(static_cast<char>(0xE0 | (cp >> 12)));
            out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
        } else {
            out.push_back(static_cast<char>(0xF0 | (cp >> 18)));
            out.push_back(static_cast<char>(0x80 | ((cp >> 12) & 0x3F)));
            out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
        }
        out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    }
    return out;
}

// --- narrow text through iconv ----------------------------------------------

constexpr const char* utf16_native = std::endian::native == std::endian::little ? "UTF-16LE" : "UTF-16BE";

enum class direction { to_utf16, from_utf16 };

// Open converters of this thread, keyed by codeset and direction. Converters
// keep shift state, so they are not shared between threads; the cache stays
// small because a thread seldom meets more than one or two codesets.
class converter_cache {
public:
    converter_cache() = default;
    converter_cache(const converter_cache&) = delete;
    converter_cache& operator=(const converter_cache&) = delete;
    ~converter_cache() {
        for (auto& e : entries_)
            iconv_close(e.cd);
    }

    iconv_t get(const std::string& codeset, direction dir) {
        for (auto& e : entries_) {
            if (e.dir == dir && e.codeset == codeset) {
                iconv(e.cd, nullptr, nullptr, nullptr, nullptr); // back to the initial state
                return e.cd;
            }
        }
        iconv_t cd = dir == direction::to_utf16 ? iconv_open(utf16_native, codeset.c_str())
                                                : iconv_open(codeset.c_str(), utf16_native);
        if (cd == reinterpret_cast<iconv_t>(-1))
            throw base2::character_conversion_error();
        if (entries_.size() == max_entries) {
            iconv_close(entries_.front().cd);
            entries_.erase(entries_.begin());
        }
        entries_.push_back({codeset, dir, cd});
        return cd;
    }

private:
    struct entry {
        std::string codeset;
        direction dir;
        iconv_t cd;
    };
    static constexpr size_t max_entries = 8;
    std::vector<entry> entries_;
};

iconv_t converter(const std::string& codeset, direction dir) {
    thread_local converter_cache cache;
    return cache.get(codeset, dir);
}

bool codeset_counts_as_utf8(std::string_view codeset) {
    std::string key;
    for (char c : codeset) {
        if (c >= 'A' && c <= 'Z')
            key.push_back(static_cast<char>(c - 'A' + 'a'));
        else if ((c >= 'a' && c <= 'z') || (c >= '0' && c <= '9'))
            key.push_back(c);
    }
    return key.empty() || key == "utf8" || key == "ansix341968" || key == "ascii" || key == "usascii";
}

// A growable output buffer for iconv, counted in bytes.
template <class String>
class iconv_output {
public:
    explicit iconv_output(size_t initial_units) : text_(initial_units, typename String::value_type{}) {}

    // Makes room for at least `bytes` more bytes and gives iconv's cursor.
    void reserve(size_t bytes) {
        if (free_bytes() < bytes)
            text_.resize(text_.size() * 2 + bytes / unit + 1);
    }
    void grow() { reserve(free_bytes() + 16); }
    char* cursor() { return reinterpret_cast<char*>(text_.data()) + used_; }
    size_t free_bytes() const { return text_.size() * unit - used_; }
    void advance_to(char* cursor) { used_ = static_cast<size_t>(cursor - reinterpret_cast<char*>(text_.data())); }
    void append(typename String::value_type u) {
        reserve(unit);
        std::memcpy(cursor(), &u, unit);
        used_ += unit;
    }
    String take() && {
        text_.resize(used_ / unit);
        return std::move(text_);
    }

private:
    static constexpr size_t unit = sizeof(typename String::value_type);
    String text_;
    size_t used_ = 0;
};

// Runs cd over the whole input and then flushes any shift state. On an
// invalid, truncated or unconvertible input sequence, on_bad(input cursor,
// bytes left, output, truncated) decides what to emit and how far to skip.
template <class String, class OnBad>
String run_iconv(iconv_t cd, const char* data, size_t size, OnBad on_bad) {
    iconv_output<String> out(size + 4);
    char* in = const_cast<char*>(data); // iconv's prototype lacks const; it never writes the input
    size_t in_left = size;
    for (;;) {
        char* o = out.cursor();
        size_t o_left = out.free_bytes();
        const bool flushing = in_left == 0;
        const size_t r = flushing ? iconv(cd, nullptr, nullptr, &o, &o_left) : iconv(cd, &in, &in_left, &o, &o_left);
        out.advance_to(o);
        if (r != static_cast<size_t>(-1)) {
            if (flushing)
                break;
            continue;
        }
        const int error = errno;
        if (error == E2BIG) {
            out.grow();
        } else if (error == EILSEQ || error == EINVAL) {
            on_bad(in, in_left, out, error == EINVAL);
        } else {
            throw base2::character_conversion_error();
        }
    }
    return std::move(out).take();
}

} // namespace

std::u16string utf8_to_utf16(std::string_view text) {
    bool malformed = false;
    return decode_utf8(text, malformed);
}

std::u16string utf8_to_utf16(const char* text) { return text ? utf8_to_utf16(std::string_view(text)) : std::u16string(); }

std::string utf16_to_utf8(std::u16string_view text) { return encode_utf8(text, false); }

std::string utf16_to_utf8(const char16_t* text) { return text ? utf16_to_utf8(std::u16string_view(text)) : std::string(); }

std::string utf16_to_utf8_keeping_lone_surrogates(std::u16string_view text) { return encode_utf8(text, true); }

bool is_well_formed_utf8(std::string_view text) {
    bool malformed = false;
    decode_utf8(text, malformed);
    return !malformed;
}

std::string ansi_codeset() {
    locale_t locale = uselocale(static_cast<locale_t>(nullptr));
    const char* codeset = locale == LC_GLOBAL_LOCALE ? nl_langinfo(CODESET) : nl_langinfo_l(CODESET, locale);
    return codeset ? codeset : "";
}

bool ansi_is_utf8() { return codeset_counts_as_utf8(ansi_codeset()); }

std::u16string ansi_to_utf16(std::string_view text, malformed_input malformed) {
    text = up_to_zero(text);
    const std::string codeset = ansi_codeset();
    if (codeset_counts_as_utf8(codeset)) {
        bool found = false;
        std::u16string out = decode_utf8(text, found);
        if (found && malformed == malformed_input::reject)
            throw base2::character_conversion_error();
        return out;
    }
    iconv_t cd = converter(codeset, direction::to_utf16);
    return run_iconv<std::u16string>(cd, text.data(), text.size(),
                                     [&](char*& in, size_t& in_left, auto& out, bool truncated) {
                                         if (malformed == malformed_input::reject)
                                             throw base2::character_conversion_error();
                                         out.append(replacement_character);
                                         // A truncated sequence at the end is replaced as a whole.
                                         const size_t skip = truncated ? in_left : 1;
                                         in += skip;
                                         in_left -= skip;
                                         iconv(cd, nullptr, nullptr, nullptr, nullptr);
                                     });
}

std::u16string ansi_to_utf16(const char* text, malformed_input malformed) {
    return text ? ansi_to_utf16(std::string_view(text), malformed) : std::u16string();
}

std::string utf16_to_ansi(std::u16string_view text) {
    text = up_to_zero(text);
    const std::string codeset = ansi_codeset();
    if (codeset_counts_as_utf8(codeset))
        return utf16_to_utf8(text);
    // Unpaired surrogates become U+FFFD first, so that whatever iconv then
    // refuses is a character the codeset lacks.
    std::u16string clean(text);
    for (size_t i = 0; i < clean.size(); ++i) {
        if (is_high_surrogate(clean[i]) && i + 1 < clean.size() && is_low_surrogate(clean[i + 1]))
            ++i;
        else if (is_high_surrogate(clean[i]) || is_low_surrogate(clean[i]))
            clean[i] = replacement_character;
    }
    iconv_t cd = converter(codeset, direction::from_utf16);
    return run_iconv<std::string>(cd, reinterpret_cast<const char*>(clean.data()), clean.size() * sizeof(char16_t),
                                  [&](char*& in, size_t& in_left, auto& out, bool) {
                                      char16_t first;
                                      std::memcpy(&first, in, sizeof first);
                                      const size_t skip =
                                          std::min(in_left, is_high_surrogate(first) ? size_t{4} : size_t{2});
                                      in += skip;
                                      in_left -= skip;
                                      // Leave any shift state before the plain '?'.
                                      for (;;) {
                                          out.reserve(16);
                                          char* o = out.cursor();
                                          size_t o_left = out.free_bytes();
                                          size_t r = iconv(cd, nullptr, nullptr, &o, &o_left);
                                          out.advance_to(o);
                                          if (r != static_cast<size_t>(-1) || errno != E2BIG)
                                              break;
                                          out.grow();
                                      }
                                      out.append('?');
                                  });
}

std::string utf16_to_ansi(const char16_t* text) {
    return text ? utf16_to_ansi(std::u16string_view(text)) : std::string();
}

} // namespace Korvu2::TAV::port

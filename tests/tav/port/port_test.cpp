// The platform layer: text conversions, the thread's narrow codeset, file
// paths and local time.
#include <array>
#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <string>

#include <gtest/gtest.h>
#include <iconv.h>
#include <langinfo.h>
#include <locale.h>
#include <unistd.h>
#if defined(__SANITIZE_ADDRESS__)
#include <sanitizer/lsan_interface.h>
#endif

#include "tav/frame/exceptions.hpp"
#include "tav/port/local_time.hpp"
#include "tav/port/paths.hpp"
#include "tav/port/text_conversion.hpp"

using namespace Korvu2::TAV::port;

namespace {

// ISO-8859-1 for the narrow-text tests: installed, or compiled once with
// localedef from en_US into a directory under /tmp and loaded from there
// through LOCPATH, which newlocale reads per call; null when neither works.
locale_t make_latin1_locale() {
    const std::string name = "en_US.ISO-8859-1";
    auto checked = [](locale_t l) {
        if (l && std::string(nl_langinfo_l(CODESET, l)) != "ISO-8859-1") {
            freelocale(l);
            return locale_t{};
        }
        return l;
    };
    if (locale_t installed = checked(newlocale(LC_ALL_MASK, name.c_str(), nullptr)))
        return installed;
    namespace fs = std::filesystem;
    const fs::path root = fs::temp_directory_path() / ("tav-port-locales-" + std::to_string(getuid()));
    std::error_code ec;
    if (!fs::exists(root / name, ec)) {
        // Compiled aside and renamed into place, so that test processes
        // running side by side never load a half-written locale.
        fs::create_directories(root, ec);
        const fs::path scratch = root / (name + ".tmp" + std::to_string(getpid()));
        if (std::system(("localedef -c -i en_US -f ISO-8859-1 '" + scratch.string() + "' >/dev/null 2>&1").c_str()) != -1)
            fs::rename(scratch, root / name, ec);
        fs::remove_all(scratch, ec);
    }
    const char* old = std::getenv("LOCPATH");
    const std::string saved = old ? old : "";
    setenv("LOCPATH", root.c_str(), 1);
#if defined(__SANITIZE_ADDRESS__)
    // glibc keeps the parsed LOCPATH with the loaded locale data for good.
    __lsan::ScopedDisabler keep_glibc_path;
#endif
    locale_t made = checked(newlocale(LC_ALL_MASK, name.c_str(), nullptr));
    old ? setenv("LOCPATH", saved.c_str(), 1) : unsetenv("LOCPATH");
    return made;
}

locale_t latin1_locale() {
    static locale_t locale = make_latin1_locale();
    return locale;
}

locale_t utf8_locale() {
    static locale_t locale = newlocale(LC_ALL_MASK, "C.UTF-8", nullptr);
    return locale;
}

// Makes `locale` the calling thread's locale (and only its) for its lifetime.
class ThreadLocale {
public:
    explicit ThreadLocale(locale_t locale) : previous_(uselocale(locale)) {}
    ~ThreadLocale() { uselocale(previous_); }
    ThreadLocale(const ThreadLocale&) = delete;
    ThreadLocale& operator=(const ThreadLocale&) = delete;

private:
    locale_t previous_;
};

// glibc's own converter, as an independent reference for well-formed text.
std::string reference_utf16_to_utf8(const std::u16string& text) {
    iconv_t cd = iconv_open("UTF-8", "UTF-16LE");
    std::string out(text.size() * 3, '\0');
    char* in = const_cast<char*>(reinterpret_cast<const char*>(text.data()));
    size_t in_left = text.size() * 2;
    char* o = out.data();
    size_t o_left = out.size();
    const size_t r = iconv(cd, &in, &in_left, &o, &o_left);
    iconv_close(cd);
    EXPECT_NE(r, static_cast<size_t>(-1)) << errno;
    out.resize(out.size() - o_left);
    return out;
}

std::u16string all_code_points(char32_t first, char32_t last) {
    std::u16string s;
    for (char32_t c = first; c <= last; ++c) {
        if (c >= 0xD800 && c <= 0xDFFF)
            continue;
        if (c >= 0x10000) {
            s.push_back(static_cast<char16_t>(0xD800 + ((c - 0x10000) >> 10)));
            s.push_back(static_cast<char16_t>(0xDC00 + ((c - 0x10000) & 0x3FF)));
        } else {
            s.push_back(static_cast<char16_t>(c));
        }
    }
    return s;
}

} // namespace

TEST(Utf8Utf16, EveryCodePointEncodesAsTheReferenceAndRoundTrips) {
    // In slices per plane so that a failure points near its code point.
    for (char32_t plane = 0; plane <= 0x10; ++plane) {
        const std::u16string wide = all_code_points(plane == 0 ? 1 : plane << 16, (plane << 16) | 0xFFFF);
        const std::string narrow = utf16_to_utf8(wide);
        ASSERT_EQ(narrow, reference_utf16_to_utf8(wide)) << "plane " << static_cast<unsigned>(plane);
        ASSERT_EQ(utf8_to_utf16(narrow), wide) << "plane " << static_cast<unsigned>(plane);
        ASSERT_TRUE(is_well_formed_utf8(narrow));
    }
}

TEST(Utf8Utf16, MalformedUtf8IsReplacedPerMaximalSubpart) {
    const std::u16string R(1, u'\uFFFD');
    const struct {
        std::string input;
        std::u16string expected;
    } cases[] = {
        {"\x80", R},
        {"\xBF" "a", R + u"a"},
        {"\xC0\xAF", R + R},                    // overlong lead bytes never start a sequence
        {"\xE0\x80\xAF", R + R + R},            // overlong three-byte form
        {"\xF0\x80\x80\xAF", R + R + R + R},    // overlong four-byte form
        {"\xED\xA0\x80", R + R + R},            // U+D800 encoded
        {"\xF4\x90\x80\x80", R + R + R + R},    // beyond U+10FFFF
        {"\xF5\x80\x80\x80", R + R + R + R},
        {"\xC2", R},                            // truncated at the end
        {"a\xE2\x82", u"a" + R},
        {"\xF0\x9F\x98" "A", R + u"A"},         // truncated before another character
        {"\xE2\x82\xE2\x82\xAC", R + u"\u20AC"},
        {"\x61\xF1\x80\x80\xE1\x80\xC2\x62\x80\x63\x80\xBF\x64",
         u"a" + R + R + R + u"b" + R + u"c" + R + R + u"d"},
        {"abcdefgh\x80ijklmnop\xC3\xA9qrstuvwx", u"abcdefgh" + R + u"ijklmnop\u00E9qrstuvwx"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(utf8_to_utf16(c.input), c.expected) << testing::PrintToString(c.input);
        EXPECT_FALSE(is_well_formed_utf8(c.input)) << testing::PrintToString(c.input);
    }
}

TEST(Utf8Utf16, UnpairedSurrogatesBecomeReplacementOrKeepTheirOwnForm) {
    const struct {
        std::u16string input;
        std::string replaced;
        std::string kept;
    } cases[] = {
        {u"\xD800", "\xEF\xBF\xBD", "\xED\xA0\x80"},
        {u"\xDFFF", "\xEF\xBF\xBD", "\xED\xBF\xBF"},
        {u"\xD800" u"A", "\xEF\xBF\xBD" "A", "\xED\xA0\x80" "A"},
        {u"A\xDBFF", "A\xEF\xBF\xBD", "A\xED\xAF\xBF"},
        {u"\xDC00\xD800", "\xEF\xBF\xBD\xEF\xBF\xBD", "\xED\xB0\x80\xED\xA0\x80"},
        {u"\xD83D\xD83D\xDE00", "\xEF\xBF\xBD\xF0\x9F\x98\x80", "\xED\xA0\xBD\xF0\x9F\x98\x80"},
        {u"\xD83D\xDE00", "\xF0\x9F\x98\x80", "\xF0\x9F\x98\x80"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(utf16_to_utf8(c.input), c.replaced);
        EXPECT_EQ(utf16_to_utf8_keeping_lone_surrogates(c.input), c.kept);
    }
}

TEST(Utf8Utf16, InputEndsAtTheFirstZeroAndNullIsEmpty) {
    EXPECT_EQ(utf8_to_utf16(std::string_view("ab\0cd", 5)), u"ab");
    EXPECT_EQ(utf16_to_utf8(std::u16string_view(u"ab\0cd", 5)), "ab");
    EXPECT_EQ(utf8_to_utf16(static_cast<const char*>(nullptr)), u"");
    EXPECT_EQ(utf16_to_utf8(static_cast<const char16_t*>(nullptr)), "");
    EXPECT_EQ(utf8_to_utf16(""), u"");
}

TEST(NarrowText, CAndUtf8LocalesSpeakUtf8) {
    static const locale_t c_locale = newlocale(LC_ALL_MASK, "C", nullptr);
    for (locale_t locale : {c_locale, utf8_locale()}) {
        ASSERT_NE(locale, nullptr);
        ThreadLocale scope(locale);
        EXPECT_TRUE(ansi_is_utf8()) << ansi_codeset();
        EXPECT_EQ(ansi_to_utf16("\xC3\xA9\xF0\x9F\x98\x80"), u"\u00E9\U0001F600");
        EXPECT_EQ(utf16_to_ansi(u"\u00E9\U0001F600"), "\xC3\xA9\xF0\x9F\x98\x80");
        EXPECT_EQ(ansi_to_utf16("a\xFF"), u"a\uFFFD");
        EXPECT_THROW(ansi_to_utf16("a\xFF", malformed_input::reject), base2::character_conversion_error);
        EXPECT_EQ(ansi_to_utf16(static_cast<const char*>(nullptr)), u"");
    }
}

TEST(NarrowText, Latin1LocaleConvertsThroughItsCodeset) {
    locale_t latin1 = latin1_locale();
    if (!latin1)
        GTEST_SKIP() << "no ISO-8859-1 locale available";
    ThreadLocale scope(latin1);
    EXPECT_FALSE(ansi_is_utf8());
    // Every byte is a character of its own, in both directions.
    std::string bytes;
    std::u16string units;
    for (int b = 1; b < 256; ++b) {
        bytes.push_back(static_cast<char>(b));
        units.push_back(static_cast<char16_t>(b));
    }
    EXPECT_EQ(ansi_to_utf16(bytes), units);
    EXPECT_EQ(utf16_to_ansi(units), bytes);
    // What the codeset lacks becomes one '?' per character.
    EXPECT_EQ(utf16_to_ansi(u"a\u20ACb\U0001F600c"), "a?b?c");
    EXPECT_EQ(utf16_to_ansi(u"\xD800" u"x\xDC00"), "?x?");
    EXPECT_EQ(utf16_to_ansi(std::u16string(5000, u'\u20AC')), std::string(5000, '?'));
}

TEST(Paths, WidePathsStayDistinctEvenWithLoneSurrogates) {
    EXPECT_EQ(wide_path_to_fs(u"/tmp/\u00E9\U0001F600.tav"), "/tmp/\xC3\xA9\xF0\x9F\x98\x80.tav");
    EXPECT_NE(wide_path_to_fs(u"a\xD800"), wide_path_to_fs(u"a\xDC00"));
    EXPECT_NE(wide_path_to_fs(u"a\xD800"), wide_path_to_fs(u"a\uFFFD"));
    EXPECT_EQ(wide_path_to_fs(static_cast<const char16_t*>(nullptr)), "");
}

TEST(Paths, NarrowPathsGoThroughTheThreadCodeset) {
    {
        ThreadLocale scope(utf8_locale());
        EXPECT_EQ(narrow_path_to_fs("/tmp/\xC3\xA9.tav"), "/tmp/\xC3\xA9.tav");
        // A replaced name would point at some other file.
        EXPECT_THROW(narrow_path_to_fs("/tmp/\xE9.tav"), base2::character_conversion_error);
        EXPECT_EQ(narrow_path_to_fs(static_cast<const char*>(nullptr)), "");
    }
    if (locale_t latin1 = latin1_locale()) {
        ThreadLocale scope(latin1);
        EXPECT_EQ(narrow_path_to_fs("/tmp/\xE9.tav"), "/tmp/\xC3\xA9.tav");
    }
}

// Each case sets TZ and then restores it; this test binary runs no other
// threads meanwhile.
TEST(LocalTime, KnownInstantsInFixedZones) {
    const struct {
        const char* tz;
        timespec when;
        std::array<uint16_t, 8> expected; // year, month, weekday, day, h, min, s, ms
    } cases[] = {
        {"UTC0", {1709214330, 123456789}, {2024, 2, 4, 29, 13, 45, 30, 123}}, // a leap day, Thursday
        // Two hours east of UTC the new year has begun: Monday.
        {"XYZ-2", {1704065400, 999999999}, {2024, 1, 1, 1, 1, 30, 0, 999}},
        {"UTC0", {0, 0}, {1970, 1, 4, 1, 0, 0, 0, 0}},
    };
    const char* old = std::getenv("TZ");
    const std::string saved = old ? old : "";
    for (const auto& c : cases) {
        setenv("TZ", c.tz, 1);
        tzset();
        const SYSTEMTIME t = local_time_at(c.when);
        EXPECT_EQ((std::array{t.wYear, t.wMonth, t.wDayOfWeek, t.wDay, t.wHour, t.wMinute, t.wSecond, t.wMilliseconds}),
                  c.expected)
            << c.tz << " " << c.when.tv_sec;
    }
    old ? setenv("TZ", saved.c_str(), 1) : unsetenv("TZ");
    tzset();
}

#include "tav/port/paths.hpp"
#include "tav/port/text_conversion.hpp"

#include <gtest/gtest.h>


#include "tav/frame/exceptions.hpp"
#include "test_locales.hpp"

using namespace Korvu2::TAV::port;
using tav_port_test::ThreadLocale;

TEST(NarrowText, CAndUtf8LocalesSpeakUtf8) {
    for (locale_t locale : {tav_port_test::c_locale(), tav_port_test::utf8_locale()}) {
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
    locale_t latin1 = tav_port_test::latin1_locale();
    if (!latin1)
        GTEST_SKIP() << "no ISO-8859-1 locale available";
    ThreadLocale scope(latin1);
    EXPECT_FALSE(ansi_is_utf8());
    EXPECT_EQ(ansi_to_utf16("caf\xE9"), u"caf\u00E9");
    EXPECT_EQ(utf16_to_ansi(u"caf\u00E9"), "caf\xE9");
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

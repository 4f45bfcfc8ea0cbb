#include "tav/port/paths.hpp"

#include <gtest/gtest.h>

#include <filesystem>

#include "tav/frame/exceptions.hpp"
#include "test_locales.hpp"

using namespace Korvu2::TAV::port;
using tav_port_test::ThreadLocale;

TEST(Paths, WidePathsStayDistinctEvenWithLoneSurrogates) {
    EXPECT_EQ(wide_path_to_fs(u"/tmp/\u00E9\U0001F600.tav"), "/tmp/\xC3\xA9\xF0\x9F\x98\x80.tav");
    EXPECT_NE(wide_path_to_fs(u"a\xD800"), wide_path_to_fs(u"a\xDC00"));
    EXPECT_NE(wide_path_to_fs(u"a\xD800"), wide_path_to_fs(u"a\uFFFD"));
    EXPECT_EQ(wide_path_to_fs(static_cast<const char16_t*>(nullptr)), "");
}

TEST(Paths, NarrowPathsGoThroughTheThreadCodeset) {
    {
        ThreadLocale scope(tav_port_test::utf8_locale());
        EXPECT_EQ(narrow_path_to_fs("/tmp/\xC3\xA9.tav"), "/tmp/\xC3\xA9.tav");
        // A replaced name would point at some other file.
        EXPECT_THROW(narrow_path_to_fs("/tmp/\xE9.tav"), base2::character_conversion_error);
        EXPECT_EQ(narrow_path_to_fs(static_cast<const char*>(nullptr)), "");
    }
    if (locale_t latin1 = tav_port_test::latin1_locale()) {
        ThreadLocale scope(latin1);
        EXPECT_EQ(narrow_path_to_fs("/tmp/\xE9.tav"), "/tmp/\xC3\xA9.tav");
    }
}

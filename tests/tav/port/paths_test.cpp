#include "tav/port/paths.hpp"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

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

TEST(Paths, RemoveAndSyncReportWhetherTheyWorked) {
    namespace fs = std::filesystem;
    const fs::path dir = fs::temp_directory_path() / ("tav-port-paths-" + std::to_string(getpid()));
    fs::create_directories(dir);
    const std::string file = (dir / "\xC3\xA9.tav").string();
    std::ofstream(file) << "x";
    EXPECT_TRUE(sync_file(file));
    EXPECT_TRUE(sync_parent_directory(file));
    EXPECT_TRUE(remove_file(file));
    EXPECT_FALSE(fs::exists(file));
    EXPECT_FALSE(remove_file(file));
    EXPECT_FALSE(sync_file(file));
    EXPECT_TRUE(sync_parent_directory("relative-name"));
    fs::remove_all(dir);
}

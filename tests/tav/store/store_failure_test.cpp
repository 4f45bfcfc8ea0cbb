// A store that fails leaves what stood at the path as it was, and no trace.
#include <gtest/gtest.h>

#include <csignal>

#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include "store_test_util.hpp"
#include "tav/store/list_load.hpp"
#include "tav/store/list_store.hpp"

using namespace store_test;

namespace {

SharedHandle<ITav> list_of(std::size_t items, int32_t dimension) {
    auto list = string_vector_list(dimension);
    for (std::size_t i = 0; i < items; ++i)
        add(list, std::vector<float>(dimension, float(i)), "label " + std::to_string(i % 7));
    return list;
}

// Stores in a child process whose files may not grow past limit bytes; the
// write that would is refused (EFBIG) rather than killing the process.
int32_t store_with_size_limit(const SharedHandle<ITav>& list, const std::string& path, rlim_t limit) {
    const pid_t child = ::fork();
    if (child == 0) {
        std::signal(SIGXFSZ, SIG_IGN);
        rlimit r{limit, limit};
        ::setrlimit(RLIMIT_FSIZE, &r);
        const int32_t code = store::store_list_file(AsList(*list), path);
        ::_exit(code == 0 ? 0 : code == ErrFile ? 3 : 4);
    }
    int status = 0;
    ::waitpid(child, &status, 0);
    if (!WIFEXITED(status))
        return -1;
    return WEXITSTATUS(status) == 0 ? 0 : WEXITSTATUS(status) == 3 ? ErrFile : -2;
}

TEST(StoreFailure, OldFileSurvivesAWriteThatRunsOutOfRoom) {
    // Limits below and above the writer's buffer: the failure comes in the
    // middle of the writing, or only with the final flush.
    struct Case {
        std::size_t items;
        rlim_t limit;
    };
    for (const Case& c : {Case{2000, 64 * 1024}, Case{2000, 100 * 1024}, Case{20, 2000}, Case{3, 300}}) {
        TempDir dir;
        const std::string path = dir.file("list.tav");
        const std::string old = "the previous content of the file";
        write_bytes(path, old);
        auto list = list_of(c.items, 16);
        EXPECT_EQ(store_with_size_limit(list, path, c.limit), ErrFile) << c.items << " " << c.limit;
        EXPECT_EQ(read_bytes(path), old);
        EXPECT_EQ(dir.names(), std::set<std::string>{"list.tav"});
    }
}

TEST(StoreReplace, KeepsThePermissionBitsOfTheOldFile) {
    TempDir dir;
    const std::string path = dir.file("list.tav");
    write_bytes(path, "old");
    ::chmod(path.c_str(), 0640);
    auto list = list_of(3, 2);
    ASSERT_EQ(store::store_list_file(AsList(*list), path), 0);
    struct stat st;
    ASSERT_EQ(::stat(path.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0640u);
    EXPECT_EQ(dir.names(), std::set<std::string>{"list.tav"});
}

TEST(StoreReplace, NewFileGetsTheUsualModeLessTheUmask) {
    TempDir dir;
    const mode_t old_mask = ::umask(027);
    auto list = list_of(3, 2);
    const int32_t code = store::store_list_file(AsList(*list), dir.file("list.tav"));
    ::umask(old_mask);
    ASSERT_EQ(code, 0);
    struct stat st;
    ASSERT_EQ(::stat(dir.file("list.tav").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0640u);
}

TEST(StoreReplace, WriteProtectedFileIsNotReplaced) {
    TempDir dir;
    const std::string path = dir.file("list.tav");
    write_bytes(path, "old");
    ::chmod(path.c_str(), 0444);
    ::chmod(dir.path().c_str(), 0777);
    auto list = list_of(3, 2);
    // Write protection does not bind a privileged user: store as nobody.
    const pid_t child = ::fork();
    if (child == 0) {
        if (::geteuid() == 0 && (::setgid(65534) != 0 || ::setuid(65534) != 0))
            ::_exit(2);
        ::_exit(store::store_list_file(AsList(*list), path) == ErrFile ? 0 : 1);
    }
    int status = 0;
    ::waitpid(child, &status, 0);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    EXPECT_EQ(read_bytes(path), "old");
    EXPECT_EQ(dir.names(), std::set<std::string>{"list.tav"});
}

TEST(StoreReplace, ThroughASymbolicLinkTheLinkedFileIsReplaced) {
    TempDir dir;
    write_bytes(dir.file("real.tav"), "old");
    std::filesystem::create_symlink("real.tav", dir.file("link.tav"));
    auto list = list_of(3, 2);
    ASSERT_EQ(store::store_list_file(AsList(*list), dir.file("link.tav")), 0);
    EXPECT_TRUE(std::filesystem::is_symlink(dir.file("link.tav")));
    EXPECT_EQ(store::load_list_file(dir.file("real.tav")).code, 0);
    EXPECT_EQ(dir.names(), (std::set<std::string>{"link.tav", "real.tav"}));
}

TEST(StoreReplace, DeviceIsWrittenInPlace) {
    auto list = list_of(3, 2);
    ASSERT_EQ(store::store_list_file(AsList(*list), "/dev/null"), 0);
    struct stat st;
    ASSERT_EQ(::stat("/dev/null", &st), 0);
    EXPECT_TRUE(S_ISCHR(st.st_mode));
}

} // namespace

TEST(StoreFailure, MissingDirectoryOrADirectoryInTheWayIsLeftAlone) {
    TempDir dir;
    auto list = list_of(3, 2);
    for (std::string path : {dir.file("missing/list.tav"), dir.file("missing/"), std::string(), dir.file("")})
        EXPECT_EQ(store::store_list_file(AsList(*list), path), ErrFile) << path;
    EXPECT_TRUE(dir.names().empty());
    std::filesystem::create_directory(dir.file("list.tav"));
    EXPECT_EQ(store::store_list_file(AsList(*list), dir.file("list.tav")), ErrFile);
    EXPECT_TRUE(std::filesystem::is_directory(dir.file("list.tav")));
    EXPECT_EQ(dir.names(), std::set<std::string>{"list.tav"});
}

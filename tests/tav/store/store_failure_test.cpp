// A store replaces what stood at the path whole, keeping its mode; one that
// fails leaves it as it was, and no trace.
#include <gtest/gtest.h>

#include <csignal>
#include <functional>

#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include "store_test_util.hpp"
#include "tav/store/list_load.hpp"

using namespace store_test;

namespace {

// Runs f in a child process; its exit status, or -1 if it did not exit.
int in_child(const std::function<int()>& f) {
    const pid_t child = ::fork();
    if (child == 0)
        ::_exit(f());
    int status = 0;
    ::waitpid(child, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

mode_t mode_of(const std::string& path) {
    struct stat st{};
    EXPECT_EQ(::stat(path.c_str(), &st), 0) << path;
    return st.st_mode;
}

TEST(StoreFailure, OldFileSurvivesAWriteThatRunsOutOfRoom) {
    // Limits below and above the writer's buffer: the failure comes in the
    // middle of the writing, or only with the final flush.
    const std::pair<std::size_t, rlim_t> cases[] = {{2000, 64 * 1024}, {2000, 100 * 1024}, {20, 2000}, {3, 300}};
    for (const auto& [items, limit] : cases) {
        TempDir dir;
        const std::string path = dir.file("list.tav"), old = "the previous content of the file";
        write_bytes(path, old);
        auto list = list_of(items, 16);
        // Files may not grow past the limit; the write that would is refused
        // (EFBIG) rather than killing the process.
        EXPECT_EQ(in_child([&] {
                      std::signal(SIGXFSZ, SIG_IGN);
                      rlimit r{limit, limit};
                      ::setrlimit(RLIMIT_FSIZE, &r);
                      return store::store_list_file(AsList(*list), path) == ErrFile ? 0 : 1;
                  }),
                  0)
            << items << " " << limit;
        EXPECT_EQ(read_bytes(path), old);
        EXPECT_EQ(dir.names(), std::set<std::string>{"list.tav"});
    }
}

TEST(StoreFailure, MissingDirectoryOrADirectoryInTheWayIsLeftAlone) {
    TempDir dir;
    auto list = list_of(3);
    for (std::string path : {dir.file("missing/list.tav"), dir.file("missing/"), std::string(), dir.file("")})
        EXPECT_EQ(store::store_list_file(AsList(*list), path), ErrFile) << path;
    EXPECT_TRUE(dir.names().empty());
    std::filesystem::create_directory(dir.file("list.tav"));
    EXPECT_EQ(store::store_list_file(AsList(*list), dir.file("list.tav")), ErrFile);
    EXPECT_TRUE(std::filesystem::is_directory(dir.file("list.tav")));
    EXPECT_EQ(dir.names(), std::set<std::string>{"list.tav"});
}

TEST(StoreReplace, KeepsTheModeOfTheOldFileOrGivesTheUsualLessTheUmask) {
    TempDir dir;
    const std::string path = dir.file("list.tav");
    write_bytes(path, "old");
    ::chmod(path.c_str(), 0604);
    auto list = list_of(3);
    ASSERT_EQ(store::store_list_file(AsList(*list), path), 0);
    EXPECT_EQ(mode_of(path) & 07777, 0604u);
    EXPECT_EQ(dir.names(), std::set<std::string>{"list.tav"});

    const mode_t old_mask = ::umask(027);
    const int32_t code = store::store_list_file(AsList(*list), dir.file("new.tav"));
    ::umask(old_mask);
    ASSERT_EQ(code, 0);
    EXPECT_EQ(mode_of(dir.file("new.tav")) & 07777, 0640u);
}

TEST(StoreReplace, WriteProtectedFileIsNotReplaced) {
    TempDir dir;
    const std::string path = dir.file("list.tav");
    write_bytes(path, "old");
    ::chmod(path.c_str(), 0444);
    ::chmod(dir.path().c_str(), 0777);
    auto list = list_of(3);
    // Write protection does not bind a privileged user: store as nobody.
    EXPECT_EQ(in_child([&] {
                  if (::geteuid() == 0 && (::setgid(65534) != 0 || ::setuid(65534) != 0))
                      return 2;
                  return store::store_list_file(AsList(*list), path) == ErrFile ? 0 : 1;
              }),
              0);
    EXPECT_EQ(read_bytes(path), "old");
    EXPECT_EQ(dir.names(), std::set<std::string>{"list.tav"});
}

TEST(StoreReplace, ThroughASymbolicLinkTheLinkedFileIsReplacedAndADeviceWrittenInPlace) {
    TempDir dir;
    write_bytes(dir.file("real.tav"), "old");
    std::filesystem::create_symlink("real.tav", dir.file("link.tav"));
    auto list = list_of(3);
    ASSERT_EQ(store::store_list_file(AsList(*list), dir.file("link.tav")), 0);
    EXPECT_TRUE(std::filesystem::is_symlink(dir.file("link.tav")));
    EXPECT_EQ(store::load_list_file(dir.file("real.tav")).code, 0);
    EXPECT_EQ(dir.names(), (std::set<std::string>{"link.tav", "real.tav"}));

    ASSERT_EQ(store::store_list_file(AsList(*list), "/dev/null"), 0);
    EXPECT_TRUE(S_ISCHR(mode_of("/dev/null")));
}

} // namespace

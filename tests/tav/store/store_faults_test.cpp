// The calls that put a stored file in place, each made to fail as a full or
// failing device would: the store fails, the old file keeps its bytes and no
// temporary file stays. A call interrupted by a signal is made again. (The
// writes before them failing part-way: StoreFailure in store_test.cpp.)
#include <gtest/gtest.h>

#include <cerrno>
#include <cstdio>
#include <set>
#include <string>
#include <utility>

#include <sys/stat.h>
#include <unistd.h>

#include "support/temp_dir.hpp"
#include "tav/frame/make_object.hpp"
#include "tav/list/sample_image_list.hpp"
#include "tav/samples/data_float32_vector.hpp"
#include "tav/samples/label_string.hpp"
#include "tav/store/list_load.hpp"
#include "tav/store/list_store.hpp"
#include "tav/store/replacement_file.hpp"

using namespace Korvu2::TAV;
using namespace Korvu2::TAV::Objects;
using namespace tav_test;

namespace {

// The call that fails next: with `error`, once.
int g_error = 0;
bool fails_now() {
    if (g_error == 0)
        return false;
    errno = std::exchange(g_error, 0);
    return true;
}

int fchown_(int fd, uid_t u, gid_t g) { return fails_now() ? -1 : ::fchown(fd, u, g); }
int fchmod_(int fd, mode_t m) { return fails_now() ? -1 : ::fchmod(fd, m); }
int fsync_(int fd) { return fails_now() ? -1 : ::fsync(fd); }
// Linux releases the descriptor whatever close reports.
int close_(int fd) {
    const bool failing = fails_now();
    const int error = errno;
    ::close(fd);
    errno = error;
    return failing ? -1 : 0;
}
int rename_(const char* from, const char* to) { return fails_now() ? -1 : ::rename(from, to); }

TEST(StoreFaults, EachFailingCallLeavesTheOldFileAndNoTrace) {
    auto list = make_list(make_object<CLabelTypeString>(), make_object<CDataTypeFloat32Vector>(1));
    AsList(*list).AddItem(*make_object<CDataFloat32Vector>(std::vector<float>{1}), *make_object<CLabelString>("a"));
    store::FileCalls& calls = store::file_calls();
    const store::FileCalls real = calls;
    const struct {
        const char* call;
        int error;
        int32_t code;
    } rows[] = {
        {"fchown", EIO, ErrFile},    {"fchown", EPERM, 0},      {"fchmod", EIO, ErrFile},
        {"fchmod", EROFS, ErrFile},  {"fsync", ENOSPC, ErrFile}, {"fsync", EIO, ErrFile},
        {"fsync", EINTR, 0},         {"close", ENOSPC, ErrFile}, {"close", EDQUOT, ErrFile},
        {"close", EINTR, 0},         {"rename", ENOSPC, ErrFile}, {"rename", EXDEV, ErrFile},
    };
    for (const auto& row : rows) {
        const std::string call = row.call;
        calls = real;
        if (call == "fchown")
            calls.fchown = fchown_;
        else if (call == "fchmod")
            calls.fchmod = fchmod_;
        else if (call == "fsync")
            calls.fsync = fsync_;
        else if (call == "close")
            calls.close = close_;
        else
            calls.rename = rename_;
        TempDir dir;
        const std::string path = dir.file("list.tav");
        write_bytes(path, "the previous content of the file");
        g_error = row.error;
        const int32_t code = store::store_list_file(AsList(*list), path);
        calls = real;
        EXPECT_EQ(g_error, 0) << call << " was not called";
        EXPECT_EQ(code, row.code) << call << " " << row.error;
        EXPECT_EQ(dir.names(), std::set<std::string>{"list.tav"}) << call << " " << row.error;
        if (row.code != 0)
            EXPECT_EQ(read_bytes(path), "the previous content of the file") << call << " " << row.error;
        else
            EXPECT_EQ(store::load_list_file(path).code, 0) << call << " " << row.error;
    }
}

} // namespace

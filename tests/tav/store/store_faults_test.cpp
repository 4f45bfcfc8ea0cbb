// The calls that put a stored file in place, each made to fail as a full or
// failing device would: the store fails, the old file keeps its bytes and no
// temporary file stays. A call interrupted by a signal is made again. (The
// writes before them failing part-way: StoreFailure in store_test.cpp.)
#include <gtest/gtest.h>

#include <cerrno>
#include <cstdio>
#include <set>
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

namespace {

// The error the next faulty call fails with, once.
int g_error = 0;
bool fails_now() { return g_error != 0 && (errno = std::exchange(g_error, 0), true); }

TEST(StoreFaults, EachFailingCallLeavesTheOldFileAndNoTrace) {
    auto list = make_list(make_object<CLabelTypeString>(), make_object<CDataTypeFloat32Vector>(1));
    AsList(*list).AddItem(*make_object<CDataFloat32Vector>(std::vector<float>{1}), *make_object<CLabelString>("a"));
    using Fault = void (*)(store::FileCalls&);
    const Fault fchown_ = [](store::FileCalls& c) {
        c.fchown = [](int fd, uid_t u, gid_t g) { return fails_now() ? -1 : ::fchown(fd, u, g); };
    };
    const Fault fchmod_ = [](store::FileCalls& c) {
        c.fchmod = [](int fd, mode_t m) { return fails_now() ? -1 : ::fchmod(fd, m); };
    };
    const Fault fsync_ = [](store::FileCalls& c) { c.fsync = [](int fd) { return fails_now() ? -1 : ::fsync(fd); }; };
    // Linux releases the descriptor whatever close reports (a success
    // leaves errno as it is).
    const Fault close_ = [](store::FileCalls& c) {
        c.close = [](int fd) { return fails_now() ? (::close(fd), -1) : ::close(fd); };
    };
    const Fault rename_ = [](store::FileCalls& c) {
        c.rename = [](const char* a, const char* b) { return fails_now() ? -1 : ::rename(a, b); };
    };
    const struct {
        Fault fault;
        int error;
        int32_t code;
    } rows[] = {
        {fchown_, EIO, ErrFile}, {fchown_, EPERM, 0},    {fchmod_, EIO, ErrFile},  {fchmod_, EROFS, ErrFile},
        {fsync_, ENOSPC, ErrFile}, {fsync_, EIO, ErrFile}, {fsync_, EINTR, 0},      {close_, EDQUOT, ErrFile},
        {close_, EINTR, 0},      {rename_, ENOSPC, ErrFile}, {rename_, EXDEV, ErrFile},
    };
    store::FileCalls& calls = store::file_calls();
    const store::FileCalls real = calls;
    for (std::size_t i = 0; i < std::size(rows); ++i) {
        tav_test::TempDir dir;
        const std::string path = dir.file("list.tav"), old = "the previous content of the file";
        tav_test::write_bytes(path, old);
        rows[i].fault(calls);
        g_error = rows[i].error;
        const int32_t code = store::store_list_file(AsList(*list), path);
        calls = real;
        EXPECT_EQ(g_error, 0) << i << ": the faulty call was not made";
        EXPECT_EQ(code, rows[i].code) << i;
        EXPECT_EQ(dir.names(), std::set<std::string>{"list.tav"}) << i;
        if (rows[i].code != 0)
            EXPECT_EQ(tav_test::read_bytes(path), old) << i;
        else
            EXPECT_EQ(store::load_list_file(path).code, 0) << i;
    }
}

} // namespace

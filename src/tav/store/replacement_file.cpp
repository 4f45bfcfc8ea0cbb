#include "tav/store/replacement_file.hpp"

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <random>
#include <thread>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "tav/port/paths.hpp"
#include "tav/xriff/errors.hpp"

namespace Korvu2::TAV::store {

namespace {

[[noreturn]] void open_error() { throw std::xriff_io_error("file open error"); }
[[noreturn]] void write_error() { throw std::xriff_io_error("write failed"); }

std::string directory_of(const std::string& path) {
    const auto slash = path.find_last_of('/');
    if (slash == std::string::npos)
        return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

// A short name, so that a target name near the length limit still leaves room.
std::string temporary_name(const std::string& directory) {
    static std::atomic<uint64_t> counter{std::random_device{}()};
    char name[40];
    std::snprintf(name, sizeof name, "/.tav-%ld-%llx.tmp", static_cast<long>(::getpid()),
                  static_cast<unsigned long long>(counter.fetch_add(0x9E3779B97F4A7C15ull)));
    return directory + name;
}

bool close_fd(int fd) {
    // Linux releases the descriptor even when close reports EINTR.
    return file_calls().close(fd) == 0 || errno == EINTR;
}

bool sync_fd(int fd) {
    int r;
    do
        r = file_calls().fsync(fd);
    while (r != 0 && errno == EINTR);
    return r == 0;
}

} // namespace

FileCalls& file_calls() {
    static FileCalls calls{::fchown, ::fchmod, ::fsync, ::close, ::rename};
    return calls;
}

ReplacementFile::ReplacementFile(const std::string& target) : target_(target) {
    if (target_.empty() || target_.back() == '/')
        open_error();

    struct stat st;
    if (::lstat(target_.c_str(), &st) == 0 && S_ISLNK(st.st_mode)) {
        // Replace the file the link leads to, as writing through it would.
        char* resolved = ::realpath(target_.c_str(), nullptr);
        if (resolved == nullptr)
            open_error();
        target_ = resolved;
        std::free(resolved);
    }
    if (::stat(target_.c_str(), &st) == 0) {
        if (S_ISDIR(st.st_mode))
            open_error();
        // A write-protected file stays protected.
        if (::faccessat(AT_FDCWD, target_.c_str(), W_OK, AT_EACCESS) != 0)
            open_error();
        if (!S_ISREG(st.st_mode)) {
            in_place_ = true;
            written_ = target_;
            return;
        }
    }

    const std::string directory = directory_of(target_);
    for (int attempt = 0; attempt < 64; ++attempt) {
        std::string candidate = temporary_name(directory);
        int fd;
        do
            fd = ::open(candidate.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        while (fd < 0 && errno == EINTR);
        if (fd >= 0) {
            fd_ = fd;
            written_ = std::move(candidate);
            return;
        }
        if (errno != EEXIST)
            break;
    }
    open_error();
}

namespace {

// The file a commit replaces, held open across the rename. Its pages and
// blocks are freed when its last descriptor closes, which for a large file
// takes tens of milliseconds; a thread of its own closes it, so that the
// store returns as soon as the new file is in place.
class ReplacedFile {
public:
    explicit ReplacedFile(const std::string& path) {
        struct stat st;
        if (::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode) && st.st_size >= kLarge)
            fd_ = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    }
    ~ReplacedFile() {
        if (fd_ < 0)
            return;
        try {
            std::thread([fd = fd_] { ::close(fd); }).detach();
        } catch (...) {
            ::close(fd_);
        }
    }
    ReplacedFile(const ReplacedFile&) = delete;
    ReplacedFile& operator=(const ReplacedFile&) = delete;

private:
    static constexpr off_t kLarge = off_t{8} << 20;
    int fd_ = -1;
};

} // namespace

ReplacementFile::~ReplacementFile() {
    if (fd_ >= 0)
        close_fd(fd_);
    if (!in_place_ && !committed_ && !written_.empty())
        port::remove_file(written_);
}

void ReplacementFile::commit() {
    if (in_place_) {
        committed_ = true;
        return;
    }
    struct stat st;
    if (::stat(target_.c_str(), &st) == 0 && S_ISREG(st.st_mode)) {
        // Ownership first: changing it may clear the set-id bits. Only a
        // privileged caller can give the file away; others keep their own.
        if (file_calls().fchown(fd_, st.st_uid, st.st_gid) != 0 && errno != EPERM)
            write_error();
        if (file_calls().fchmod(fd_, st.st_mode & 07777) != 0)
            write_error();
    }
    if (!sync_fd(fd_))
        write_error();
    const int fd = fd_;
    fd_ = -1;
    if (!close_fd(fd))
        write_error();
    const ReplacedFile replaced(target_);
    if (file_calls().rename(written_.c_str(), target_.c_str()) != 0)
        write_error();
    committed_ = true;
    // The new file is in place now; a directory that cannot be flushed (some
    // file systems refuse) does not make the store a failure.
    port::sync_parent_directory(target_);
}

} // namespace Korvu2::TAV::store

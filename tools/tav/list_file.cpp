#include "list_file.hpp"

#include <cerrno>
#include <cstdlib>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

#include "failure.hpp"
#include "interrupt.hpp"

namespace tavtool {

namespace {

// The file a symbolic link leads to, as the library's store replaces it.
std::string resolved_path(const std::string& path) {
    std::string out = path;
    if (char* resolved = ::realpath(path.c_str(), nullptr)) {
        out = resolved;
        std::free(resolved);
    }
    return out;
}

std::string folder_of(const std::string& path) {
    const auto slash = path.find_last_of('/');
    return slash == std::string::npos ? "." : slash == 0 ? "/" : path.substr(0, slash);
}

// Why a store into `path` could fail, found by asking the system the
// questions the store's own steps ask; empty if none of them fails.
std::string store_failure_reason(const std::string& path) {
    const std::string target = resolved_path(path);
    const std::string folder = folder_of(target);
    if (::access(folder.c_str(), W_OK | X_OK) != 0)
        return "folder '" + folder + "': " + system_error_text(errno);
    struct stat st;
    if (::stat(target.c_str(), &st) == 0) {
        if (S_ISDIR(st.st_mode))
            return system_error_text(EISDIR);
        if (::access(target.c_str(), W_OK) != 0)
            return system_error_text(errno);
    }
    struct statvfs fs;
    if (::statvfs(folder.c_str(), &fs) == 0 && fs.f_bavail == 0)
        return system_error_text(ENOSPC);
    return {};
}

} // namespace

void check_list_file(const std::string& path, const std::string& verb) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        throw Failure("cannot " + verb + " '" + path + "': " + system_error_text(errno));
    struct stat st;
    const bool folder = ::fstat(fd, &st) == 0 && S_ISDIR(st.st_mode);
    ::close(fd);
    if (folder)
        throw Failure("cannot " + verb + " '" + path + "': " + system_error_text(EISDIR));
}

Owned load_list(const std::string& path) {
    check_list_file(path);
    clear_library_error();
    Owned list;
    const int32_t status = TavLoad(path.c_str(), list.out());
    if (status == TAV_E_FILE)
        fail_library("cannot load '" + path + "': unreadable or damaged list file");
    if (status == TAV_E_INVALID_OPERATION)
        fail_library("cannot load '" + path + "': no list in the file (type descriptors missing or unknown)");
    if (status != 0 || !list)
        fail_library("cannot load '" + path + "'");
    return list;
}

void store_list(TAV list, const std::string& path) {
    clear_library_error();
    int32_t status;
    {
        StoreCleanup cleanup(path);
        status = TavStore(list, path.c_str());
    }
    if (status != 0)
        fail_library("cannot store '" + path + "'", store_failure_reason(path));
}

ListLock::ListLock(const std::string& list_path, bool wait) {
    const std::string lock_path = resolved_path(list_path) + ".lock";
    fd_ = ::open(lock_path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
    if (fd_ < 0 && (errno == EACCES || errno == EROFS))
        fd_ = ::open(lock_path.c_str(), O_RDONLY | O_CLOEXEC); // someone else's lock file
    if (fd_ < 0)
        throw Failure("cannot lock '" + list_path + "': '" + lock_path + "': " + system_error_text(errno));
    int status;
    do
        status = ::flock(fd_, LOCK_EX | (wait ? 0 : LOCK_NB));
    while (status != 0 && errno == EINTR);
    if (status != 0) {
        const int error = errno;
        ::close(fd_);
        if (error == EWOULDBLOCK)
            throw Failure("'" + list_path + "' is being changed by another process (lock '" + lock_path +
                          "' held)");
        throw Failure("cannot lock '" + list_path + "': '" + lock_path + "': " + system_error_text(error));
    }
}

ListLock::~ListLock() {
    // Closing the only descriptor releases the lock.
    if (fd_ >= 0)
        ::close(fd_);
}

} // namespace tavtool

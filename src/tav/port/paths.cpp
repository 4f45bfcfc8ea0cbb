#include "tav/port/paths.hpp"

#include <cerrno>

#include <fcntl.h>
#include <unistd.h>

#include "tav/port/text_conversion.hpp"

namespace Korvu2::TAV::port {

namespace {

int open_for_sync(const std::string& path, int flags) {
    int fd;
    do
        fd = ::open(path.c_str(), flags | O_RDONLY | O_CLOEXEC);
    while (fd < 0 && errno == EINTR);
    return fd;
}

bool sync_and_close(int fd) {
    if (fd < 0)
        return false;
    const bool synced = sync_file_descriptor(fd);
    ::close(fd);
    return synced;
}

} // namespace

std::string wide_path_to_fs(std::u16string_view path) { return utf16_to_utf8_keeping_lone_surrogates(path); }

std::string wide_path_to_fs(const char16_t* path) {
    return path ? wide_path_to_fs(std::u16string_view(path)) : std::string();
}

std::string narrow_path_to_fs(std::string_view path) {
    return utf16_to_utf8(ansi_to_utf16(path, malformed_input::reject));
}

std::string narrow_path_to_fs(const char* path) {
    return path ? narrow_path_to_fs(std::string_view(path)) : std::string();
}

bool remove_file(const std::string& fs_path) { return ::unlink(fs_path.c_str()) == 0; }

bool sync_file_descriptor(int fd) {
    int r;
    do
        r = ::fsync(fd);
    while (r != 0 && errno == EINTR);
    return r == 0;
}

bool sync_file(const std::string& fs_path) { return sync_and_close(open_for_sync(fs_path, 0)); }

bool sync_parent_directory(const std::string& fs_path) {
    const auto slash = fs_path.find_last_of('/');
    const std::string dir = slash == std::string::npos ? "." : slash == 0 ? "/" : fs_path.substr(0, slash);
    return sync_and_close(open_for_sync(dir, O_DIRECTORY));
}

} // namespace Korvu2::TAV::port

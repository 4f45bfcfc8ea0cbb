#pragma once
// A file written beside its target and put in the target's place only when it
// is complete and on the device, so that a failed write never costs the file
// that stood there before.
#include <string>

#include <sys/types.h>

namespace Korvu2::TAV::store {

// The system calls that put a written file in its target's place, in one
// table so that a test can make any of them fail as a full or failing device
// would. The real calls unless a test changes them; not exported.
struct FileCalls {
    int (*fchown)(int fd, uid_t owner, gid_t group);
    int (*fchmod)(int fd, mode_t mode);
    int (*fsync)(int fd);
    int (*close)(int fd);
    int (*rename)(const char* from, const char* to);
};
FileCalls& file_calls();

class ReplacementFile {
public:
    // Creates the temporary file in the target's directory (mode 0666 less
    // the umask, as a new file would get). Raises std::xriff_io_error
    // "file open error" when the target cannot be replaced: its directory is
    // missing or not writable, the target is a directory, or it exists and is
    // not writable for us. A target that is not a regular file (a device, a
    // pipe) cannot be replaced and is written in place instead.
    explicit ReplacementFile(const std::string& target);
    ~ReplacementFile();
    ReplacementFile(const ReplacementFile&) = delete;
    ReplacementFile& operator=(const ReplacementFile&) = delete;

    // Where the content is to be written.
    const std::string& path() const { return written_; }

    // Gives the written file the target's owner and permission bits (when
    // the target existed), flushes it to the device, renames it over the
    // target and flushes the directory. Raises std::xriff_io_error "write
    // failed" when any step up to the rename fails; the target is then
    // untouched and the destructor removes the temporary file.
    void commit();

private:
    std::string target_;
    std::string written_;
    int fd_ = -1;
    bool in_place_ = false;
    bool committed_ = false;
};

} // namespace Korvu2::TAV::store

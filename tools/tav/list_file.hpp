// Loading and storing list files, with the library's report and the system's
// reason as the message, and the lock that serialises edits of one file.
#pragma once

#include <string>

#include "handle.hpp"

namespace tavtool {

// Throws the system's reason when `path` cannot be opened as a file: the
// library only says "file error".
void check_list_file(const std::string& path, const std::string& verb = "load");
Owned load_list(const std::string& path);
// Replaces or creates `path`; an interruption meanwhile leaves no temporary
// file and the old file as it was.
void store_list(TAV list, const std::string& path);

// An exclusive flock() on "<file>.lock" beside the list file (after symbolic
// links), held from before the list is loaded until it has been replaced.
// The lock file is never removed: the list file itself is replaced by rename,
// so a lock on it would be lost with its old inode, and removing the lock
// file would let a waiting process lock a file that a newcomer no longer
// sees. The kernel releases the lock when the process ends in any way.
class ListLock {
public:
    // Waits for another holder unless `wait` is false; then it fails at once.
    ListLock(const std::string& list_path, bool wait);
    ~ListLock();
    ListLock(const ListLock&) = delete;
    ListLock& operator=(const ListLock&) = delete;

private:
    int fd_ = -1;
};

} // namespace tavtool

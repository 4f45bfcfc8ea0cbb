// Interruption by SIGINT, SIGTERM or SIGHUP: the tool ends with status
// 128 + the signal and leaves no temporary file of a store behind.
#pragma once

#include <string>

namespace tavtool {

// Installs the handlers, except for signals the caller has set to be
// ignored; called once at start.
void install_interrupt_handlers();

// While one exists, an interruption first removes this process's temporary
// files (".tav-<pid>-*.tmp", which the library's store writes beside the file
// it replaces) from the folder that will hold `target`.
class StoreCleanup {
public:
    explicit StoreCleanup(const std::string& target);
    ~StoreCleanup();
    StoreCleanup(const StoreCleanup&) = delete;
    StoreCleanup& operator=(const StoreCleanup&) = delete;

private:
    int dir_fd_ = -1;
};

} // namespace tavtool

#include "interrupt.hpp"

#include <atomic>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include <dirent.h>
#include <fcntl.h>
#include <pthread.h>
#include <unistd.h>

namespace tavtool {

namespace {

// The folder being written into, and the name prefix of this process's
// temporary files; both are set up before a handler can look at them.
std::atomic<int> g_dir_fd{-1};
char g_prefix[32];
size_t g_prefix_length = 0;
bool g_stderr_terminal = false;

bool is_temporary(const char* name) {
    if (std::strncmp(name, g_prefix, g_prefix_length) != 0)
        return false;
    const size_t length = std::strlen(name);
    return length >= g_prefix_length + 4 && std::strcmp(name + length - 4, ".tmp") == 0;
}

// Only system calls here: the handler may interrupt the library anywhere,
// even inside malloc, so opendir and friends are out of the question.
void remove_temporaries(int dir) {
    alignas(struct dirent64) static char buffer[8192];
    // Removing entries while reading the folder may hide others from the same
    // pass, so read it again until a pass removes nothing.
    for (int pass = 0; pass < 4; ++pass) {
        if (::lseek(dir, 0, SEEK_SET) != 0)
            return;
        bool removed = false;
        for (;;) {
            const ssize_t got = ::getdents64(dir, buffer, sizeof buffer);
            if (got <= 0)
                break;
            for (ssize_t at = 0; at < got;) {
                const auto* entry = reinterpret_cast<const struct dirent64*>(buffer + at);
                if (is_temporary(entry->d_name) && ::unlinkat(dir, entry->d_name, 0) == 0)
                    removed = true;
                at += entry->d_reclen;
            }
        }
        if (!removed)
            return;
    }
}

void on_signal(int signal) {
    const int dir = g_dir_fd.load();
    if (dir >= 0)
        remove_temporaries(dir);
    // A progress line on a terminal would otherwise stay unfinished.
    if (g_stderr_terminal)
        (void)!::write(STDERR_FILENO, "\n", 1);
    ::_exit(128 + signal);
}

} // namespace

void install_interrupt_handlers() {
    std::snprintf(g_prefix, sizeof g_prefix, ".tav-%ld-", static_cast<long>(::getpid()));
    g_prefix_length = std::strlen(g_prefix);
    g_stderr_terminal = ::isatty(STDERR_FILENO) == 1;
    struct sigaction action;
    std::memset(&action, 0, sizeof action);
    action.sa_handler = on_signal;
    sigemptyset(&action.sa_mask);
    // One handler at a time: a second signal waits until the first has ended
    // the process.
    for (int s : {SIGINT, SIGTERM, SIGHUP})
        sigaddset(&action.sa_mask, s);
    for (int s : {SIGINT, SIGTERM, SIGHUP}) {
        // A signal the caller ignores (nohup, a background job) stays ignored.
        struct sigaction old;
        if (::sigaction(s, nullptr, &old) == 0 && old.sa_handler == SIG_IGN)
            continue;
        ::sigaction(s, &action, nullptr);
    }
}

StoreCleanup::StoreCleanup(const std::string& target) {
    // The library writes beside the file a symbolic link leads to.
    std::string path = target;
    if (char* resolved = ::realpath(target.c_str(), nullptr)) {
        path = resolved;
        std::free(resolved);
    }
    const auto slash = path.find_last_of('/');
    const std::string dir = slash == std::string::npos ? "." : slash == 0 ? "/" : path.substr(0, slash);
    dir_fd_ = ::open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    g_dir_fd.store(dir_fd_);
}

StoreCleanup::~StoreCleanup() {
    // Held back while the descriptor goes, so a handler never reads a closed
    // or reused one.
    sigset_t block, old;
    sigemptyset(&block);
    for (int s : {SIGINT, SIGTERM, SIGHUP})
        sigaddset(&block, s);
    ::pthread_sigmask(SIG_BLOCK, &block, &old);
    g_dir_fd.store(-1);
    if (dir_fd_ >= 0)
        ::close(dir_fd_);
    ::pthread_sigmask(SIG_SETMASK, &old, nullptr);
}

} // namespace tavtool

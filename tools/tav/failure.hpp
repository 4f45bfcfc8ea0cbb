// Failures of the tool: a one-line message and the exit status it ends with.
#pragma once

#include <cstdint>
#include <stdexcept>
#include <string>

namespace tavtool {

enum ExitStatus : int { kExitOk = 0, kExitFailure = 1, kExitUsage = 2 };

class Failure : public std::runtime_error {
public:
    explicit Failure(const std::string& message, int status = kExitFailure)
        : std::runtime_error(message), status_(status) {}
    int status() const { return status_; }

private:
    int status_;
};

// A wrong command line: ends with status 2.
class UsageError : public Failure {
public:
    explicit UsageError(const std::string& message) : Failure(message, kExitUsage) {}
};

// The name of a library error code ("file error"), or its hex value.
std::string error_code_text(int32_t code);

// "what: <reason>; <message> (<code name> <code>, <function>)" from the
// library's last report, for a call that just failed; `reason` is the
// system's, where the caller could find one.
[[noreturn]] void fail_library(const std::string& what, const std::string& reason = "");

// The system's text for an errno value.
std::string system_error_text(int error);

// Clears the calling thread's last report so a later failure is not blamed on
// an older one.
void clear_library_error();

} // namespace tavtool

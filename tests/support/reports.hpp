#pragma once
// Observing error reports in tests: what the calling thread reported last,
// and whether anything was reported since a mark.
#include <cstdint>
#include <string>

#include <zt/ztcimg.h>

namespace tav_test {

struct Report {
    int32_t code = 0;
    std::string function;
    std::string message;
};

inline Report last_report() {
    const char* function = nullptr;
    const char* message = nullptr;
    Report r;
    r.code = ZtGetLastError(&function, &message);
    r.function = function ? function : "";
    r.message = message ? message : "";
    return r;
}

// Counts the reports made on this thread from construction on.
class ReportWatch {
public:
    ReportWatch() : start_(ZtErrorReportCount()) { ZtClearLastError(); }
    uint64_t count() const { return ZtErrorReportCount() - start_; }
    bool none() const { return count() == 0; }
    // Exactly one report since the mark, with this code and function name.
    bool one(int32_t code, const std::string& function) const {
        Report r = last_report();
        return count() == 1 && r.code == code && r.function == function;
    }

private:
    uint64_t start_;
};

} // namespace tav_test

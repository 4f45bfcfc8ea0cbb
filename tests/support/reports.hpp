#pragma once
// Every error report made while a ReportLog lives, in order, through the
// process-wide handler (some functions report twice).
#include <cstdint>
#include <ostream>
#include <string>
#include <utility>
#include <vector>

#include <zt/ztcimg.h>

namespace tav_test {

class ReportLog {
public:
    struct Entry {
        int32_t code;
        std::string message;
        std::string function;
        bool operator==(const Entry&) const = default;
    };
    ReportLog() { ZtSetErrorHandler(&ReportLog::record, this); }
    ~ReportLog() { ZtSetErrorHandler(nullptr, nullptr); }
    ReportLog(const ReportLog&) = delete;
    ReportLog& operator=(const ReportLog&) = delete;

    std::vector<Entry> take() { return std::exchange(entries_, {}); }
    // Exactly one report since the last take, with this code and function.
    bool one(int32_t code, const std::string& function) {
        const auto e = take();
        return e.size() == 1 && e[0].code == code && e[0].function == function;
    }

private:
    static void record(void* context, int32_t code, const char* message, const char* function) {
        static_cast<ReportLog*>(context)->entries_.push_back({code, message ? message : "", function ? function : ""});
    }
    std::vector<Entry> entries_;
};

inline std::ostream& operator<<(std::ostream& out, const ReportLog::Entry& e) {
    return out << std::hex << e.code << std::dec << " '" << e.message << "' " << e.function;
}

using Reports = std::vector<ReportLog::Entry>;

inline ReportLog::Entry report(int32_t code, const char* function, const char* message = "") {
    return {code, message, function};
}

} // namespace tav_test

// The error facility: one process-wide handler that sees every report, and
// per thread the last report and a count of reports.
#include <cstdint>
#include <mutex>
#include <optional>
#include <string>

#include <zt/ztcimg.h>

namespace {

struct HandlerSlot {
    std::mutex lock;
    ZtErrorHandler handler = nullptr;
    void* context = nullptr;
};

HandlerSlot& handler_slot() {
    static HandlerSlot slot;
    return slot;
}

// The strings stay where they are until this thread's next report, so the
// pointers handed out by ZtGetLastError and to the handler stay valid.
struct LastError {
    bool present = false;
    int32_t code = 0;
    std::optional<std::string> function;
    std::optional<std::string> message;
};

thread_local LastError t_last;
thread_local uint64_t t_count = 0;
thread_local bool t_in_handler = false;

const char* c_str_or_null(const std::optional<std::string>& s) { return s ? s->c_str() : nullptr; }

void report(int32_t code, const char* message, const char* function) noexcept {
    ++t_count;
    try {
        t_last.present = true;
        t_last.code = code;
        t_last.function = function ? std::optional<std::string>(function) : std::nullopt;
        t_last.message = message ? std::optional<std::string>(message) : std::nullopt;
    } catch (...) {
        // Out of memory: keep the code, drop the texts.
        t_last.function.reset();
        t_last.message.reset();
    }
    // A report made from inside the handler is recorded but not passed on,
    // so a handler that reports cannot recurse without end.
    if (t_in_handler)
        return;
    ZtErrorHandler handler;
    void* context;
    {
        HandlerSlot& slot = handler_slot();
        std::lock_guard<std::mutex> guard(slot.lock);
        handler = slot.handler;
        context = slot.context;
    }
    // Called outside the lock: the handler may set another handler.
    if (handler != nullptr) {
        t_in_handler = true;
        handler(context, code, c_str_or_null(t_last.message), c_str_or_null(t_last.function));
        t_in_handler = false;
    }
}

} // namespace

extern "C" {

void ZtReportError(int32_t code, const char* function) { report(code, nullptr, function); }

void ZtReportErrorWithMessage(int32_t code, const char* message, const char* function) {
    report(code, message, function);
}

void ZtSetErrorHandler(ZtErrorHandler handler, void* context) {
    HandlerSlot& slot = handler_slot();
    std::lock_guard<std::mutex> guard(slot.lock);
    slot.handler = handler;
    slot.context = handler != nullptr ? context : nullptr;
}

int32_t ZtGetLastError(const char** function, const char** message) {
    if (function != nullptr)
        *function = t_last.present ? c_str_or_null(t_last.function) : nullptr;
    if (message != nullptr)
        *message = t_last.present ? c_str_or_null(t_last.message) : nullptr;
    return t_last.present ? t_last.code : 0;
}

void ZtClearLastError(void) {
    t_last.present = false;
    t_last.code = 0;
}

uint64_t ZtErrorReportCount(void) { return t_count; }

} // extern "C"

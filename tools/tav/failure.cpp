#include "failure.hpp"

#include <cstdio>
#include <cstring>

#include <tav/tav.h>

namespace tavtool {

std::string error_code_text(int32_t code) {
    switch (code) {
    case TAV_E_FAILURE: return "failure";
    case TAV_E_INVALID_ARGUMENT: return "invalid argument";
    case TAV_E_FILE: return "file error";
    case TAV_E_OUT_OF_MEMORY: return "out of memory";
    case TAV_E_INVALID_IMAGE: return "invalid image";
    case TAV_E_EXPIRED: return "object expired";
    case TAV_E_INVALID_OPERATION: return "invalid operation";
    case TAV_E_EMPTY_LIST: return "empty list";
    case TAV_E_INVALID_VALUE: return "invalid value";
    case TAV_E_INCOMPATIBLE: return "incompatible";
    case TAV_E_BUFFER_TOO_SMALL: return "buffer too small";
    case TAV_E_INDEX_OUT_OF_RANGE: return "index out of range";
    default: break;
    }
    char hex[16];
    std::snprintf(hex, sizeof hex, "0x%08x", static_cast<unsigned>(code));
    return hex;
}

void clear_library_error() { ZtClearLastError(); }

std::string system_error_text(int error) { return std::strerror(error); }

void fail_library(const std::string& what, const std::string& reason) {
    const char* function = nullptr;
    const char* message = nullptr;
    const int32_t code = ZtGetLastError(&function, &message);
    if (code == 0)
        throw Failure(reason.empty() ? what : what + ": " + reason);
    char hex[16];
    std::snprintf(hex, sizeof hex, "0x%08x", static_cast<unsigned>(code));
    std::string detail = error_code_text(code);
    if (detail != hex)
        detail += std::string(" ") + hex;
    if (function && *function)
        detail += std::string(", ") + function;
    std::string text = what;
    if (!reason.empty())
        text += ": " + reason;
    if (message && *message)
        text += (reason.empty() ? ": " : "; ") + std::string(message);
    text += " (" + detail + ")";
    throw Failure(text);
}

} // namespace tavtool

#include "tav/frame/call_frame.hpp"

#include <zt/ztcimg.h>

namespace Korvu2::TAV::frame {

void report(int32_t code, const char* message, const char* function) noexcept {
    if (message != nullptr)
        ZtReportErrorWithMessage(code, message, function);
    else
        ZtReportError(code, function);
}

} // namespace Korvu2::TAV::frame

#include "tav/port/local_time.hpp"

#include <algorithm>

#include "tav/frame/exceptions.hpp"

namespace Korvu2::TAV::port {

SYSTEMTIME local_time_now() {
    timespec now{};
    clock_gettime(CLOCK_REALTIME, &now);
    return local_time_at(now);
}

SYSTEMTIME local_time_at(const timespec& when) {
    tm local{};
    const time_t seconds = when.tv_sec;
    if (!localtime_r(&seconds, &local))
        throw ztkBase::runtime_error(); // only for instants far outside any calendar year we can hold
    SYSTEMTIME t{};
    t.wYear = static_cast<uint16_t>(local.tm_year + 1900);
    t.wMonth = static_cast<uint16_t>(local.tm_mon + 1);
    t.wDayOfWeek = static_cast<uint16_t>(local.tm_wday);
    t.wDay = static_cast<uint16_t>(local.tm_mday);
    t.wHour = static_cast<uint16_t>(local.tm_hour);
    t.wMinute = static_cast<uint16_t>(local.tm_min);
    t.wSecond = static_cast<uint16_t>(std::min(local.tm_sec, 59)); // a leap second reads as :59
    t.wMilliseconds = static_cast<uint16_t>(std::clamp<long>(when.tv_nsec / 1000000, 0, 999));
    return t;
}

} // namespace Korvu2::TAV::port

#pragma once
// The local wall-clock time in the SYSTEMTIME record of the public header.
#include <ctime>

#include <tav/tav.h>

namespace Korvu2::TAV::port {

// Now, in the local time zone, to the millisecond; day of week 0 = Sunday.
SYSTEMTIME local_time_now();

// The given instant in the local time zone.
SYSTEMTIME local_time_at(const timespec& when);

} // namespace Korvu2::TAV::port

#include "tav/port/local_time.hpp"

#include <gtest/gtest.h>

#include <array>
#include <cstdlib>
#include <string>

using namespace Korvu2::TAV::port;

// Each case sets TZ and then restores it; this test binary runs no other
// threads meanwhile.
TEST(LocalTime, KnownInstantsInFixedZones) {
    const struct {
        const char* tz;
        timespec when;
        std::array<uint16_t, 8> expected; // year, month, weekday, day, h, min, s, ms
    } cases[] = {
        {"UTC0", {1709214330, 123456789}, {2024, 2, 4, 29, 13, 45, 30, 123}}, // a leap day, Thursday
        // Two hours east of UTC the new year has begun: Monday.
        {"XYZ-2", {1704065400, 999999999}, {2024, 1, 1, 1, 1, 30, 0, 999}},
        {"UTC0", {0, 0}, {1970, 1, 4, 1, 0, 0, 0, 0}},
    };
    const char* old = std::getenv("TZ");
    const std::string saved = old ? old : "";
    for (const auto& c : cases) {
        setenv("TZ", c.tz, 1);
        tzset();
        const SYSTEMTIME t = local_time_at(c.when);
        EXPECT_EQ((std::array{t.wYear, t.wMonth, t.wDayOfWeek, t.wDay, t.wHour, t.wMinute, t.wSecond, t.wMilliseconds}),
                  c.expected)
            << c.tz << " " << c.when.tv_sec;
    }
    old ? setenv("TZ", saved.c_str(), 1) : unsetenv("TZ");
    tzset();
}

#include "tav/port/local_time.hpp"

#include <gtest/gtest.h>

#include <array>
#include <chrono>
#include <cstdlib>
#include <optional>
#include <string>

using namespace Korvu2::TAV::port;

namespace {

unsigned weekday_of(const SYSTEMTIME& t) {
    using namespace std::chrono;
    return weekday(sys_days(year(t.wYear) / month(t.wMonth) / day(t.wDay))).c_encoding();
}

// Sets TZ for the scope; this test binary runs no other threads meanwhile.
class TimeZone {
public:
    explicit TimeZone(const char* tz) {
        if (const char* old = std::getenv("TZ"))
            saved_ = old;
        setenv("TZ", tz, 1);
        tzset();
    }
    ~TimeZone() {
        saved_ ? setenv("TZ", saved_->c_str(), 1) : unsetenv("TZ");
        tzset();
    }

private:
    std::optional<std::string> saved_;
};

} // namespace

TEST(LocalTime, KnownInstantsInFixedZones) {
    const struct {
        const char* tz;
        timespec when;
        SYSTEMTIME expected;
    } cases[] = {
        // A leap day, Thursday.
        {"UTC0", {1709214330, 123456789}, {2024, 2, 4, 29, 13, 45, 30, 123}},
        // Two hours east of UTC the new year has begun: Monday.
        {"XYZ-2", {1704065400, 999999999}, {2024, 1, 1, 1, 1, 30, 0, 999}},
        {"UTC0", {0, 0}, {1970, 1, 4, 1, 0, 0, 0, 0}},
    };
    for (const auto& c : cases) {
        TimeZone zone(c.tz);
        const SYSTEMTIME t = local_time_at(c.when);
        const SYSTEMTIME& e = c.expected;
        EXPECT_EQ((std::array{t.wYear, t.wMonth, t.wDayOfWeek, t.wDay, t.wHour, t.wMinute, t.wSecond, t.wMilliseconds}),
                  (std::array{e.wYear, e.wMonth, e.wDayOfWeek, e.wDay, e.wHour, e.wMinute, e.wSecond, e.wMilliseconds}))
            << c.tz << " " << c.when.tv_sec;
    }
}

// The camera clock (half-seconds since 1994-01-01 00:00:00 local time) and calendar time.
//
// The camera keeps local standard time: converting its clock to calendar time applies the zone's
// standard offset and never a daylight-saving shift. The C library offers no localtime() that
// ignores daylight saving (clearing `daylight` does not change what glibc does), so the local
// standard time is computed as UTC shifted by the zone's standard offset `timezone`.
#include <ctime>

#include "camera/camera.hpp"

namespace {

// The time value of local 1994-01-01 00:00:00 with the daylight-saving flag 0.
time_t ClockBase() {
    std::tm base{};
    base.tm_year = 94;
    base.tm_mon = 0;
    base.tm_mday = 1;
    base.tm_isdst = 0;
    return std::mktime(&base);
}

}  // namespace

CameraTime CameraTimeFromClock(uint32_t clock) {
    const time_t t = ClockBase() + static_cast<time_t>(clock / 2);
    tzset();
    const time_t standard = t - static_cast<time_t>(timezone);  // seconds west of UTC

    CameraTime out;
    std::tm tm{};
    if (gmtime_r(&standard, &tm) == nullptr) {
        return out;  // all fields 0
    }
    out.second = static_cast<int16_t>(tm.tm_sec);
    out.minute = static_cast<int16_t>(tm.tm_min);
    out.hour = static_cast<int16_t>(tm.tm_hour);
    out.dayOfMonth = static_cast<int16_t>(tm.tm_mday);
    out.month = static_cast<int16_t>(tm.tm_mon);
    out.year = static_cast<int16_t>(tm.tm_year < 94 ? tm.tm_year + 100 : tm.tm_year);
    out.dayOfWeek = static_cast<int16_t>(tm.tm_wday);
    out.dayOfYear = static_cast<int16_t>(tm.tm_yday);
    out.isDst = 0;
    return out;
}

uint32_t ClockFromCameraTime(const CameraTime& time) {
    std::tm tm{};
    tm.tm_sec = time.second;
    tm.tm_min = time.minute;
    tm.tm_hour = time.hour;
    tm.tm_mday = time.dayOfMonth;
    tm.tm_mon = time.month;
    tm.tm_year = time.year;
    tm.tm_wday = time.dayOfWeek;
    tm.tm_yday = time.dayOfYear;
    tm.tm_isdst = time.isDst;
    const time_t t = std::mktime(&tm);
    // 32-bit arithmetic, as the camera counts.
    return 2u * static_cast<uint32_t>(t - ClockBase());
}

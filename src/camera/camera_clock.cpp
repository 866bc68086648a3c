// The camera clock (half-seconds since 1994-01-01 00:00:00 local time) and calendar time.
//
// The camera keeps local standard time: converting its clock to calendar time applies the zone's
// standard offset and never a daylight-saving shift. The C library offers no localtime() that
// ignores daylight saving (clearing `daylight` does not change what glibc does), so the local
// standard time is computed as UTC shifted by the zone's standard offset `timezone`.
#include <chrono>
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

    // The calendar fields of that moment counted as UTC.
    using namespace std::chrono;
    const sys_seconds moment{seconds{standard}};
    const sys_days day = floor<days>(moment);
    const year_month_day date{day};
    const hh_mm_ss timeOfDay{moment - day};
    const int year = static_cast<int>(date.year()) - 1900;

    CameraTime out;
    out.second = static_cast<int16_t>(timeOfDay.seconds().count());
    out.minute = static_cast<int16_t>(timeOfDay.minutes().count());
    out.hour = static_cast<int16_t>(timeOfDay.hours().count());
    out.dayOfMonth = static_cast<int16_t>(static_cast<unsigned>(date.day()));
    out.month = static_cast<int16_t>(static_cast<unsigned>(date.month()) - 1);
    out.year = static_cast<int16_t>(year < 94 ? year + 100 : year);
    out.dayOfWeek = static_cast<int16_t>(weekday{day}.c_encoding());
    out.dayOfYear = static_cast<int16_t>((day - sys_days{date.year() / January / 1}).count());
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

// The camera clock (half-seconds since 1994-01-01 00:00:00 local standard time) and calendar time.
//
// The camera counts local standard time, so both directions are plain calendar arithmetic from
// 1994-01-01 00:00:00: no zone's offset, present or past, can move the start of the clock, and a
// reading converts back to itself. The only zone rule used is the daylight-saving flag of a
// calendar time given to the camera: with the flag set the time is summer time, and the zone's
// summer shift for that date is taken off to give standard time.
#include <chrono>
#include <cstdint>
#include <ctime>

#include "camera/camera.hpp"

namespace {

using std::chrono::days;
using std::chrono::sys_days;

constexpr sys_days kClockStart = std::chrono::year{1994} / std::chrono::January / 1;
constexpr int64_t kSecondsPerDay = 86'400;

// Floor division: the calendar below the start of a unit belongs to the unit before.
int64_t FloorDiv(int64_t a, int64_t b) {
    const int64_t q = a / b;
    return (a % b != 0 && (a < 0) != (b < 0)) ? q - 1 : q;
}

// Seconds from the start of the clock to the time the fields give, out-of-range fields carried
// into the next larger unit as the C library normalises them.
int64_t SecondsSinceClockStart(const CameraTime& time) {
    const int64_t months = int64_t{time.month};
    const int64_t yearsOver = FloorDiv(months, 12);
    const auto year = std::chrono::year{static_cast<int>(1900 + time.year + yearsOver)};
    const auto month = std::chrono::month{static_cast<unsigned>(months - 12 * yearsOver + 1)};
    const sys_days firstOfMonth = year / month / 1;
    const int64_t daysSinceStart = (firstOfMonth - kClockStart).count() + time.dayOfMonth - 1;
    const int64_t secondOfDay = static_cast<int64_t>(time.hour) * 3600 +
                                static_cast<int64_t>(time.minute) * 60 + time.second;
    return daysSinceStart * kSecondsPerDay + secondOfDay;
}

// How far the zone's clocks are ahead of standard time at the local time `time` gives, when its
// daylight-saving flag asks for summer time (0 otherwise, and when the zone has no summer time on
// that date: the C library would apply an hour even there).
int64_t SummerShiftSeconds(const CameraTime& time) {
    if (time.isDst == 0) {
        return 0;
    }
    std::tm asGiven{};
    asGiven.tm_sec = time.second;
    asGiven.tm_min = time.minute;
    asGiven.tm_hour = time.hour;
    asGiven.tm_mday = time.dayOfMonth;
    asGiven.tm_mon = time.month;
    asGiven.tm_year = time.year;
    asGiven.tm_isdst = time.isDst;
    std::tm asStandard = asGiven;
    asStandard.tm_isdst = 0;
    std::tm asTheZoneHasIt = asGiven;
    asTheZoneHasIt.tm_isdst = -1;
    if (std::mktime(&asTheZoneHasIt) == static_cast<time_t>(-1) || asTheZoneHasIt.tm_isdst <= 0) {
        return 0;
    }
    const time_t given = std::mktime(&asGiven);
    const time_t standard = std::mktime(&asStandard);
    if (given == static_cast<time_t>(-1) || standard == static_cast<time_t>(-1)) {
        return 0;
    }
    return static_cast<int64_t>(standard - given);
}

}  // namespace

CameraTime CameraTimeFromClock(uint32_t clock) {
    const int64_t seconds = clock / 2;  // the half-second is dropped
    const days day{seconds / kSecondsPerDay};
    const int64_t secondOfDay = seconds % kSecondsPerDay;
    const sys_days date = kClockStart + day;
    const std::chrono::year_month_day calendar{date};
    const sys_days newYear = calendar.year() / std::chrono::January / 1;

    CameraTime out;
    out.second = static_cast<int16_t>(secondOfDay % 60);
    out.minute = static_cast<int16_t>(secondOfDay / 60 % 60);
    out.hour = static_cast<int16_t>(secondOfDay / 3600);
    out.dayOfMonth = static_cast<int16_t>(static_cast<unsigned>(calendar.day()));
    out.month = static_cast<int16_t>(static_cast<unsigned>(calendar.month()) - 1);
    out.year = static_cast<int16_t>(static_cast<int>(calendar.year()) - 1900);
    out.dayOfWeek = static_cast<int16_t>(std::chrono::weekday{date}.c_encoding());
    out.dayOfYear = static_cast<int16_t>((date - newYear).count());
    out.isDst = 0;
    return out;
}

uint32_t ClockFromCameraTime(const CameraTime& time) {
    const int64_t seconds = SecondsSinceClockStart(time) - SummerShiftSeconds(time);
    // 32-bit arithmetic, as the camera counts.
    return 2u * static_cast<uint32_t>(seconds);
}

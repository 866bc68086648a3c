// The camera clock and calendar time, in zones without and with daylight saving, and in zones
// whose standard offset has changed since 1994.
#include <gtest/gtest.h>

#include "camera/camera.hpp"
#include "camera/time_zone.hpp"

namespace {

using camtest::kCentralEurope;
using camtest::ScopedTimeZone;

CameraTime Calendar(int year, int month, int day, int hour, int minute, int second, int isDst) {
    CameraTime t;
    t.year = static_cast<int16_t>(year - 1900);
    t.month = static_cast<int16_t>(month - 1);
    t.dayOfMonth = static_cast<int16_t>(day);
    t.hour = static_cast<int16_t>(hour);
    t.minute = static_cast<int16_t>(minute);
    t.second = static_cast<int16_t>(second);
    t.isDst = static_cast<int16_t>(isDst);
    return t;
}

// Local standard time 2020-01-15 12:00:00 and 2020-07-15 12:00:00 as camera clocks: the
// seconds since 1994-01-01 00:00:00 counted in days, doubled.
constexpr uint32_t kWinterNoon = 2u * (9510u * 86400u + 43200u);
constexpr uint32_t kSummerNoon = 2u * (9692u * 86400u + 43200u);

void ExpectStartOfClock(const CameraTime& t) {
    EXPECT_EQ(t.second, 0);
    EXPECT_EQ(t.minute, 0);
    EXPECT_EQ(t.hour, 0);
    EXPECT_EQ(t.dayOfMonth, 1);
    EXPECT_EQ(t.month, 0);
    EXPECT_EQ(t.year, 94);
    EXPECT_EQ(t.dayOfWeek, 6);
    EXPECT_EQ(t.dayOfYear, 0);
    EXPECT_EQ(t.isDst, 0);
}

class CameraClock : public ::testing::TestWithParam<const char*> {
  protected:
    ScopedTimeZone m_zone{GetParam()};
};

TEST_P(CameraClock, StartOfTheClockAndHalfSeconds) {
    ExpectStartOfClock(CameraTimeFromClock(0));
    ExpectStartOfClock(CameraTimeFromClock(1));  // the half-second is dropped
    const CameraTime two = CameraTimeFromClock(2);
    EXPECT_EQ(two.second, 1);
    EXPECT_EQ(two.minute, 0);
    EXPECT_EQ(two.year, 94);

    EXPECT_EQ(ClockFromCameraTime(Calendar(1994, 1, 1, 0, 0, 1, 0)), 2u);
    EXPECT_EQ(ClockFromCameraTime(Calendar(1994, 1, 1, 0, 0, 0, 0)), 0u);
}

TEST_P(CameraClock, WinterAndSummerDatesInStandardTime) {
    const CameraTime winter = CameraTimeFromClock(kWinterNoon);
    EXPECT_EQ(winter.year, 120);
    EXPECT_EQ(winter.month, 0);
    EXPECT_EQ(winter.dayOfMonth, 15);
    EXPECT_EQ(winter.hour, 12);
    EXPECT_EQ(winter.dayOfWeek, 3);
    EXPECT_EQ(winter.dayOfYear, 14);
    EXPECT_EQ(winter.isDst, 0);

    // No daylight-saving hour is added in summer.
    const CameraTime summer = CameraTimeFromClock(kSummerNoon);
    EXPECT_EQ(summer.month, 6);
    EXPECT_EQ(summer.dayOfMonth, 15);
    EXPECT_EQ(summer.hour, 12);
    EXPECT_EQ(summer.minute, 0);
    EXPECT_EQ(summer.dayOfWeek, 3);
    EXPECT_EQ(summer.dayOfYear, 196);
    EXPECT_EQ(summer.isDst, 0);

    EXPECT_EQ(ClockFromCameraTime(Calendar(2020, 1, 15, 12, 0, 0, 0)), kWinterNoon);
    EXPECT_EQ(ClockFromCameraTime(Calendar(2020, 7, 15, 12, 0, 0, 0)), kSummerNoon);
}

TEST_P(CameraClock, RoundTripKeepsEvenClocks) {
    for (uint32_t clock :
         {0u, 2u, 86400u * 2u, kWinterNoon, kSummerNoon, kSummerNoon + 3598u, 0xFFFFFFFEu}) {
        EXPECT_EQ(ClockFromCameraTime(CameraTimeFromClock(clock)), clock) << clock;
    }
}

TEST_P(CameraClock, OutOfRangeFieldsAreNormalised) {
    // 1994-01-01 00:00:90 is 00:01:30.
    EXPECT_EQ(ClockFromCameraTime(Calendar(1994, 1, 1, 0, 0, 90, 0)), 180u);
    // Day 0 of February is the last of January.
    EXPECT_EQ(ClockFromCameraTime(Calendar(1994, 2, 0, 0, 0, 0, 0)), 2u * 30u * 86400u);
}

INSTANTIATE_TEST_SUITE_P(Zones, CameraClock,
                         ::testing::Values("UTC", kCentralEurope, "Europe/Berlin", "Europe/Minsk",
                                           "Europe/Istanbul", "Asia/Almaty", "Pacific/Apia"));

TEST(CameraClockDaylightSaving, RecordFlagIsHonouredWhenSettingTheClock) {
    const ScopedTimeZone zone(kCentralEurope);
    // 12:00 summer time is 11:00 standard time.
    EXPECT_EQ(ClockFromCameraTime(Calendar(2020, 7, 15, 12, 0, 0, 1)), kSummerNoon - 7200u);
    // No shift where the zone has no summer time on that date.
    EXPECT_EQ(ClockFromCameraTime(Calendar(2020, 1, 15, 12, 0, 0, 1)), kWinterNoon);
    const ScopedTimeZone utc("UTC");
    for (const int isDst : {0, 1}) {
        EXPECT_EQ(ClockFromCameraTime(Calendar(2020, 7, 15, 12, 0, 0, isDst)), kSummerNoon);
    }
}

}  // namespace

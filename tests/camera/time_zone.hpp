// Sets the time zone (TZ) for the lifetime of the object and restores the previous setting.
// Zones are written as POSIX rules, which the GNU and the Windows C libraries both read.
#pragma once

#include <cstdlib>
#include <ctime>
#include <optional>
#include <string>

#include "environment.hpp"

namespace camtest {

// Central European time with its daylight-saving rule (glibc takes a zone without a rule to
// follow America/New_York's changes).
constexpr const char* kCentralEurope = "CET-1CEST,M3.5.0,M10.5.0/3";

class ScopedTimeZone {
  public:
    explicit ScopedTimeZone(const char* zone) {
        if (const char* previous = std::getenv("TZ")) {
            m_previous = previous;
        }
        SetZone(zone);
    }
    ~ScopedTimeZone() { SetZone(m_previous ? m_previous->c_str() : nullptr); }
    ScopedTimeZone(const ScopedTimeZone&) = delete;
    ScopedTimeZone& operator=(const ScopedTimeZone&) = delete;

  private:
    // nullptr removes TZ: the system's own zone.
    static void SetZone(const char* zone) {
        if (zone != nullptr) {
            testenv::Set("TZ", zone);
        } else {
            testenv::Remove("TZ");
        }
        tzset();
    }

    std::optional<std::string> m_previous;
};

}  // namespace camtest

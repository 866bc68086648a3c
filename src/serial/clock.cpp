// The clock switch used by NowMs() and DelayMs(). SystemClock() is the operating system's own
// (posix_clock.cpp, win32_clock.cpp).
#include <cstdint>

#include "serial/serial.hpp"

namespace {

IClock* s_installedClock = nullptr;

}  // namespace

IClock& CurrentClock() {
    return s_installedClock != nullptr ? *s_installedClock : SystemClock();
}

ScopedClock::ScopedClock(IClock& clock) : m_previous(s_installedClock) {
    s_installedClock = &clock;
}

ScopedClock::~ScopedClock() {
    s_installedClock = m_previous;
}

uint32_t NowMs() {
    return CurrentClock().NowMs();
}

uint32_t DelayMs(uint32_t ms) {
    IClock& clock = CurrentClock();
    clock.SleepUntilMs(clock.NowMs() + ms);
    return clock.NowMs();
}

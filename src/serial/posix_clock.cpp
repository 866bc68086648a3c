// The process's monotonic millisecond clock on POSIX systems: CLOCK_MONOTONIC, with sleeps in
// clock_nanosleep.
#include <time.h>

#include <cstdint>

#include "serial/serial.hpp"

namespace {

int64_t MonotonicNs() {
    timespec ts{};
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return static_cast<int64_t>(ts.tv_sec) * 1'000'000'000 + ts.tv_nsec;
}

// CLOCK_MONOTONIC counted in milliseconds from the first use of the clock.
class MonotonicClock final : public IClock {
  public:
    MonotonicClock() : m_originNs(MonotonicNs()) {}

    uint32_t NowMs() override { return static_cast<uint32_t>(ElapsedMs()); }

    void SleepUntilMs(uint32_t ms) override {
        for (;;) {
            const int64_t elapsed = ElapsedMs();
            const auto remaining = static_cast<int32_t>(ms - static_cast<uint32_t>(elapsed));
            if (remaining <= 0) {
                return;
            }
            const int64_t wakeNs = m_originNs + (elapsed + remaining) * 1'000'000;
            timespec wake{};
            wake.tv_sec = static_cast<time_t>(wakeNs / 1'000'000'000);
            wake.tv_nsec = static_cast<long>(wakeNs % 1'000'000'000);
            // Interrupted sleeps simply go round again.
            clock_nanosleep(CLOCK_MONOTONIC, TIMER_ABSTIME, &wake, nullptr);
        }
    }

  private:
    int64_t ElapsedMs() const { return (MonotonicNs() - m_originNs) / 1'000'000; }

    int64_t m_originNs;
};

}  // namespace

IClock& SystemClock() {
    static MonotonicClock clock;
    return clock;
}

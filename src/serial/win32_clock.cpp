// The process's monotonic millisecond clock on Windows: the performance counter, with sleeps in
// Sleep. The timer resolution is 1 ms (timeBeginPeriod) while the clock exists, so that sleeps
// and the serial driver's time-outs end within a millisecond or two of their time instead of
// the default 15.6 ms tick.
#include <windows.h>

#include <mmsystem.h>

#include <cstdint>

#include "serial/serial.hpp"

namespace {

int64_t PerformanceCount() {
    LARGE_INTEGER count{};
    QueryPerformanceCounter(&count);
    return count.QuadPart;
}

class PerformanceCounterClock final : public IClock {
  public:
    PerformanceCounterClock() : m_originCount(PerformanceCount()) {
        LARGE_INTEGER frequency{};
        QueryPerformanceFrequency(&frequency);
        m_countsPerSecond = frequency.QuadPart;
        timeBeginPeriod(1);
    }
    ~PerformanceCounterClock() override { timeEndPeriod(1); }
    PerformanceCounterClock(const PerformanceCounterClock&) = delete;
    PerformanceCounterClock& operator=(const PerformanceCounterClock&) = delete;

    uint32_t NowMs() override { return static_cast<uint32_t>(ElapsedMs()); }

    void SleepUntilMs(uint32_t ms) override {
        for (;;) {
            const auto remaining = static_cast<int32_t>(ms - NowMs());
            if (remaining <= 0) {
                return;
            }
            // A sleep may end a tick early; the loop sleeps the rest.
            Sleep(static_cast<DWORD>(remaining));
        }
    }

  private:
    // Whole seconds and the rest apart, so that the multiplication cannot overflow.
    int64_t ElapsedMs() const {
        const int64_t counts = PerformanceCount() - m_originCount;
        return counts / m_countsPerSecond * 1000 +
               counts % m_countsPerSecond * 1000 / m_countsPerSecond;
    }

    int64_t m_originCount;
    int64_t m_countsPerSecond = 1;
};

}  // namespace

IClock& SystemClock() {
    static PerformanceCounterClock clock;
    return clock;
}

#include "app/desktop/desktop.hpp"

void CYieldingClock::SleepUntilMs(uint32_t ms) {
    while (!TimeReached(m_inner.NowMs(), ms)) {
        m_pump.PumpIfDue();
        m_inner.SleepUntilMs(m_pump.SliceEnd(ms));
    }
}

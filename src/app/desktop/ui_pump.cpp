#include "app/desktop/desktop.hpp"

#include <utility>

CUiPump::CUiPump(IClock& clock, std::function<void()> pump)
    : m_clock(clock), m_pump(std::move(pump)) {}

void CUiPump::PumpIfDue() {
    if (m_pumped && !TimeReached(m_clock.NowMs(), m_lastPumpMs + kPumpIntervalMs)) {
        return;
    }
    PumpNow();
}

void CUiPump::PumpNow() {
    if (m_inside) {
        return;
    }
    m_inside = true;
    m_pump();
    m_inside = false;
    m_pumped = true;
    m_lastPumpMs = m_clock.NowMs();
}

uint32_t CUiPump::SliceEnd(uint32_t deadlineMs) {
    const uint32_t sliceEnd = m_clock.NowMs() + kPumpIntervalMs;
    return TimeReached(deadlineMs, sliceEnd) ? sliceEnd : deadlineMs;
}

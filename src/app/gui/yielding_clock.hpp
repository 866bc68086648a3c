// A clock that forwards to another one and keeps the windows painting during long sleeps.
#pragma once

#include "app/gui/ui_pump.hpp"
#include "serial/serial.hpp"

class CYieldingClock final : public IClock {
  public:
    // `pump` must read the same clock as `inner` (not this one).
    CYieldingClock(IClock& inner, CUiPump& pump) : m_inner(inner), m_pump(pump) {}

    uint32_t NowMs() override { return m_inner.NowMs(); }
    // Sleeps in slices, pumping between them; returns once `ms` is reached, never later than the
    // inner clock would.
    void SleepUntilMs(uint32_t ms) override;

  private:
    IClock& m_inner;
    CUiPump& m_pump;
};

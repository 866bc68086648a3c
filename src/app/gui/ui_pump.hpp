// The one thread runs the whole update, including every serial wait. So that the windows still
// paint (and the desktop does not flag the tool as not responding), long waits are cut into
// slices of at most kPumpIntervalMs, and between slices the pump lets pending paint events
// through, at most once per interval. What the pump does is given by its owner (the GUI passes a
// yield that admits only paint/size/show events; tests pass a counter).
#pragma once

#include <cstdint>
#include <functional>

#include "serial/serial.hpp"

constexpr uint32_t kPumpIntervalMs = 50;

class CUiPump {
  public:
    CUiPump(IClock& clock, std::function<void()> pump);

    // Runs the pump when kPumpIntervalMs have passed since it last ran (or it never ran).
    // A call from inside the pump does nothing.
    void PumpIfDue();
    // Runs the pump now (unless already inside it).
    void PumpNow();
    // The end of the next wait slice: `deadlineMs`, or kPumpIntervalMs from now when that is
    // earlier.
    uint32_t SliceEnd(uint32_t deadlineMs);

    IClock& Clock() { return m_clock; }

  private:
    IClock& m_clock;
    std::function<void()> m_pump;
    bool m_pumped = false;
    bool m_inside = false;
    uint32_t m_lastPumpMs = 0;
};

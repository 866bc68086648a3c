// Time arithmetic the port drivers share: how long bytes take on the line, how long is left.
#pragma once

#include <cstdint>

#include "serial/serial.hpp"

namespace line_time {

// Milliseconds the line needs for n bytes at baud (10 bits per byte), rounded up.
inline uint32_t LineTimeMs(uint64_t n, uint32_t baud) {
    const uint64_t rate = baud == 0 ? 1 : baud;
    return static_cast<uint32_t>((n * 10 * 1000 + rate - 1) / rate);
}

// Milliseconds from now until `deadline` on `clock`, 0 when reached.
inline int RemainingMs(IClock& clock, uint32_t deadline) {
    const auto remaining = static_cast<int32_t>(deadline - clock.NowMs());
    return remaining > 0 ? remaining : 0;
}

}  // namespace line_time

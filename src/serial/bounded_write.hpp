// The one rule both port drivers write by: every byte handed to the device and gone from its
// output queue within twice the line time plus a second, or the write gives up with the bytes
// still unsent. A driver supplies the two device operations; the waits run on the clock given.
#pragma once

#include <cstdint>

#include "serial/line_time.hpp"
#include "serial/serial.hpp"

namespace bounded_write {

// Extra allowance for a write to be taken by the device, beyond twice its line time.
constexpr uint32_t kWriteSlackMs = 1000;

// How long a write of n bytes at `baud` may take.
inline uint32_t AllowanceMs(uint32_t n, uint32_t baud) {
    return 2 * line_time::LineTimeMs(n, baud) + kWriteSlackMs;
}

// What a port driver offers the rule.
class IDevice {
  public:
    virtual ~IDevice() = default;
    // Hands up to n bytes to the device; when it takes none at once, waits for room until
    // deadlineMs at the latest. The count taken (0: none before the deadline), or -1 when the
    // device failed.
    virtual int64_t Hand(const uint8_t* data, uint32_t n, uint32_t deadlineMs) = 0;
    // Bytes handed over that have not yet left on the line; false when the device failed.
    virtual bool Unsent(uint32_t* count) = 0;
};

enum class Outcome { Written, DeviceFailed, Stalled };

struct Result {
    Outcome outcome = Outcome::Written;
    uint32_t unsent = 0;     // with Stalled: bytes not handed over or not yet on the line
    uint32_t allowedMs = 0;  // the time the write was given
};

// Writes n bytes at `baud` and returns once all have left the device's output queue (so that a
// purge of that queue afterwards cannot discard any of them), or when the allowance is spent.
Result Write(IDevice& device, IClock& clock, const uint8_t* data, uint32_t n, uint32_t baud);

// The reason a write of n bytes gave up (Outcome::Stalled).
PortFailure StalledFailure(uint32_t n, const Result& result);

}  // namespace bounded_write

// The write rule shared by the port drivers: hand every byte over, then wait for the output
// queue to empty, sleeping for the line time of what is still queued; never past the allowance.
#include "serial/bounded_write.hpp"

#include <algorithm>
#include <string>

namespace bounded_write {

using line_time::LineTimeMs;
using line_time::RemainingMs;

Result Write(IDevice& device, IClock& clock, const uint8_t* data, uint32_t n, uint32_t baud) {
    Result result;
    result.allowedMs = AllowanceMs(n, baud);
    const uint32_t giveUpAt = clock.NowMs() + result.allowedMs;
    uint32_t done = 0;
    while (done < n) {
        const int64_t taken = device.Hand(data + done, n - done, giveUpAt);
        if (taken < 0) {
            result.outcome = Outcome::DeviceFailed;
            return result;
        }
        done += static_cast<uint32_t>(taken);
        if (done < n && RemainingMs(clock, giveUpAt) == 0) {
            uint32_t queued = 0;
            result.outcome = Outcome::Stalled;
            result.unsent = (n - done) + (device.Unsent(&queued) ? queued : 0);
            return result;
        }
    }
    for (;;) {
        uint32_t queued = 0;
        if (!device.Unsent(&queued)) {
            result.outcome = Outcome::DeviceFailed;
            return result;
        }
        if (queued == 0) {
            return result;
        }
        const int remaining = RemainingMs(clock, giveUpAt);
        if (remaining == 0) {
            result.outcome = Outcome::Stalled;
            result.unsent = queued;
            return result;
        }
        const uint32_t drainMs = std::max<uint32_t>(1, LineTimeMs(queued, baud));
        clock.SleepUntilMs(clock.NowMs() +
                           std::min<uint32_t>(drainMs, static_cast<uint32_t>(remaining)));
    }
}

PortFailure StalledFailure(uint32_t n, const Result& result) {
    return PortFailure{PortProblem::OutputStalled,
                       0,
                       std::to_string(result.unsent) + " of " + std::to_string(n) +
                           " bytes not sent in " + std::to_string(result.allowedMs) + " ms",
                       {}};
}

}  // namespace bounded_write

// Waiting for the camera to stop sending after it answered a data-packet request with a stray
// byte, so that the next try starts on a quiet line.
#include "camera/camera.hpp"

namespace {

constexpr uint32_t kDrainLimitMs = 10000;  // overall limit
constexpr uint32_t kPauseMs = 1200;        // pause at the start of each round
constexpr uint32_t kWatchMs = 1200;        // then watch the input for at most this long
constexpr uint32_t kQuietMs = 100;         // an input empty for this long ends the drain

}  // namespace

// Arrangement: rounds until the overall limit of 10,000 ms from the call. Each round pauses
// 1,200 ms (cut short at the limit), then watches the input for up to 1,200 ms: queued bytes
// are discarded at once and restart the quiet period; an input that stays empty for 100 ms
// ends the drain with 0. A round whose watch ends without such a quiet period starts the next
// one. Failure to read the queue counts, or reaching the limit, ends it with 7. m_recvLen holds
// how many bytes were discarded in all (at most 65,535).
uint32_t CCameraProtocol::DrainLine() {
    const uint32_t limit = NowMs() + kDrainLimitMs;
    uint32_t discarded = 0;
    m_recvLen = 0;

    for (;;) {
        uint32_t now = NowMs();
        if (TimeReached(now, limit)) {
            return kStatusTimeout;
        }
        now = DelayMs(Earlier(now + kPauseMs, limit) - now);

        const uint32_t watchEnd = Earlier(now + kWatchMs, limit);
        uint32_t quietSince = now;
        for (;;) {
            uint32_t queued = 0;
            if (QueuedInput(&queued) != kStatusOk) {
                return kStatusTimeout;
            }
            now = NowMs();
            if (queued > 0) {
                PurgePort(1);
                discarded += queued;
                m_recvLen = static_cast<uint16_t>(discarded > 0xFFFF ? 0xFFFF : discarded);
                quietSince = now;
            } else if (TimeReached(now, quietSince + kQuietMs)) {
                return kStatusOk;
            }
            if (TimeReached(now, watchEnd)) {
                break;
            }
            WaitInput(Earlier(quietSince + kQuietMs, watchEnd));
        }
    }
}

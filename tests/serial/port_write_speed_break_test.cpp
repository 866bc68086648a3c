// Writing behind a draining output queue, speed changes, the break and the delay.
#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

#include "line_fixture.hpp"
#include "serial/bounded_write.hpp"

namespace serial_test {
namespace {

class PortTest : public LineTest {
  protected:
    void SetUp() override { Open(); }

    void Fill(uint16_t n, uint8_t first) {
        for (uint16_t i = 0; i < n; ++i) {
            port.m_sendBuf[i] = static_cast<uint8_t>(first + i);
        }
        port.m_sendLen = n;
    }
};

TEST_F(PortTest, WriteOnAnIdleLineSendsTheBytesWithoutWaiting) {
    Fill(12, 0x10);
    const uint32_t start = clock.NowMs();
    ASSERT_EQ(port.WritePort(200), kStatusOk);
    EXPECT_EQ(clock.NowMs(), start);
    clock.RunUntilUs(clock.NowUs() + 50'000);
    ASSERT_EQ(receiver.bytes.size(), 12u);
    EXPECT_EQ(receiver.bytes.front(), 0x10);
    EXPECT_EQ(receiver.bytes.back(), 0x1B);
}

TEST_F(PortTest, WriteWaitsForTheQueueToDrainFirst) {
    Fill(100, 0);
    ASSERT_EQ(port.WritePort(200), kStatusOk);  // ~104 ms of line time at 9600
    const uint64_t drainedUs = clock.NowUs() + 100 * 1042;

    Fill(1, 0xEE);
    ASSERT_EQ(port.WritePort(200), kStatusOk);

    // The second write went out exactly when the first had left the queue.
    EXPECT_EQ(clock.NowUs(), drainedUs);
    clock.RunUntilUs(clock.NowUs() + 5'000);
    ASSERT_EQ(receiver.bytes.size(), 101u);
    EXPECT_EQ(receiver.bytes.back(), 0xEE);
}

TEST_F(PortTest, WriteTimeoutAllowsOneMillisecondPerQueuedByte) {
    ASSERT_EQ(port.SetPortSpeed(2304), kStatusOk);  // 1,200 bit/s: 8.3 ms per byte
    Fill(100, 0);
    ASSERT_EQ(port.WritePort(0), kStatusOk);
    const uint32_t start = clock.NowMs();

    Fill(1, 0xEE);
    EXPECT_EQ(port.WritePort(30), kStatusTimeout);

    // 100 bytes were queued when the write began: 30 + 100 ms.
    EXPECT_EQ(clock.NowMs(), start + 130);
    clock.RunUntilUs(clock.NowUs() + 2'000'000);
    EXPECT_EQ(line.HostOutputQueued(), 0u);
    EXPECT_EQ(std::count(receiver.bytes.begin(), receiver.bytes.end(), 0xEE), 0);
}

TEST_F(PortTest, WriteRefusesMoreThanTheBufferAndAFullDriverQueueFails) {
    port.m_sendLen = kPortBufferSize + 1;
    EXPECT_EQ(port.WritePort(200), kStatusBadArgument);
    EXPECT_EQ(line.HostOutputQueued(), 0u);

    // The whole buffer fits the driver's queue.
    port.m_sendLen = kPortBufferSize;
    EXPECT_EQ(port.WritePort(200), kStatusOk);
}

// The drivers' write rule against a device that takes `perHand` bytes per hand-over (none once
// `takesUpTo` have gone) and sends one byte per line time (never once `sends` is false).
TEST(BoundedWrite, EveryByteHandedAndSentWithinTwiceTheLineTimeAndASecond) {
    class Device final : public bounded_write::IDevice {
      public:
        Device(sim::VirtualClock& clock, uint32_t perHand, uint32_t takesUpTo, bool sends)
            : m_clock(clock), m_perHand(perHand), m_takesUpTo(takesUpTo), m_sends(sends) {}
        int64_t Hand(const uint8_t*, uint32_t n, uint32_t deadlineMs) override {
            const uint32_t taken = std::min({n, m_perHand, m_takesUpTo - m_handed});
            if (taken == 0) {
                m_clock.SleepUntilMs(deadlineMs);  // no room before the deadline
            }
            Send();
            m_handed += taken;
            m_queued += taken;
            return taken;
        }
        bool Unsent(uint32_t* count) override {
            Send();
            *count = m_queued;
            return m_failsAt != m_calls++;
        }
        // 10 bits at 9,600 bit/s: 1,042 us a byte.
        void Send() {
            const uint64_t now = m_clock.NowUs();
            const auto sent = static_cast<uint32_t>(m_sends ? (now - m_sentUntilUs) / 1042 : 0);
            m_queued -= std::min(m_queued, sent);
            m_sentUntilUs = m_queued == 0 ? now : m_sentUntilUs + uint64_t{sent} * 1042;
        }
        uint32_t m_failsAt = UINT32_MAX;

      private:
        sim::VirtualClock& m_clock;
        uint32_t m_perHand;
        uint32_t m_takesUpTo;
        bool m_sends;
        uint32_t m_handed = 0;
        uint32_t m_queued = 0;
        uint64_t m_sentUntilUs = 0;
        uint32_t m_calls = 0;
    };
    const std::vector<uint8_t> bytes(100, 0x55);  // 105 ms at 9,600 bit/s: allowed 1,210 ms
    const struct {
        uint32_t perHand;
        uint32_t takesUpTo;
        bool sends;
        bounded_write::Outcome outcome;
        uint32_t unsent;
        uint32_t endsAtMs;
    } cases[] = {
        {100, 100, true, bounded_write::Outcome::Written, 0, 105},
        {30, 100, true, bounded_write::Outcome::Written, 0, 105},       // taken in four parts
        {100, 100, false, bounded_write::Outcome::Stalled, 100, 1210},  // nothing leaves
        {30, 60, true, bounded_write::Outcome::Stalled, 40, 1210},      // room for 60 only
    };
    for (const auto& c : cases) {
        sim::VirtualClock clock;
        Device device(clock, c.perHand, c.takesUpTo, c.sends);
        const bounded_write::Result result =
            bounded_write::Write(device, clock, bytes.data(), 100, 9600);
        EXPECT_EQ(result.outcome, c.outcome) << c.perHand << " " << c.takesUpTo;
        EXPECT_EQ(result.unsent, c.unsent) << c.perHand << " " << c.takesUpTo;
        EXPECT_EQ(result.allowedMs, 1210u);
        EXPECT_EQ(clock.NowMs(), c.endsAtMs) << c.perHand << " " << c.takesUpTo;
        if (c.outcome == bounded_write::Outcome::Stalled) {
            const PortFailure why = bounded_write::StalledFailure(100, result);
            EXPECT_EQ(why.problem, PortProblem::OutputStalled);
            EXPECT_EQ(why.text, std::to_string(c.unsent) + " of 100 bytes not sent in 1210 ms");
        }
    }
    sim::VirtualClock clock;
    Device failing(clock, 100, 100, true);
    failing.m_failsAt = 0;
    EXPECT_EQ(bounded_write::Write(failing, clock, bytes.data(), 100, 9600).outcome,
              bounded_write::Outcome::DeviceFailed);
}

TEST_F(PortTest, PurgeDiscardsOnlyWhatIsAskedFor) {
    CameraSendsAt(clock.NowMs(), {1, 2, 3});
    clock.RunUntilUs(clock.NowUs() + 10'000);
    Fill(20, 0);
    ASSERT_EQ(port.WritePort(0), kStatusOk);

    port.PurgePort(0);
    EXPECT_EQ(line.HostOutputQueued(), 1u);  // the byte on the wire completes
    EXPECT_EQ(line.HostInputQueued(), 3u);

    port.PurgePort(1);
    EXPECT_EQ(line.HostInputQueued(), 0u);

    // A single byte followed by a purge of the output still reaches the camera.
    clock.RunUntilUs(clock.NowUs() + 10'000);
    receiver.bytes.clear();
    Fill(1, 0xD1);
    ASSERT_EQ(port.WritePort(200), kStatusOk);
    port.PurgePort(0);
    clock.RunUntilUs(clock.NowUs() + 10'000);
    EXPECT_EQ(receiver.bytes, std::vector<uint8_t>{0xD1});
}

TEST_F(PortTest, SpeedCodesSetTheTableRatesAndOthersAreRefused) {
    const std::pair<int, uint32_t> table[] = {{96, 9600},   {192, 19200},   {384, 38400},
                                              {576, 56000}, {1152, 115200}, {2304, 1200}};
    for (auto [code, baud] : table) {
        ASSERT_EQ(port.SetPortSpeed(code), kStatusOk) << code;
        EXPECT_EQ(line.HostBaudRate(), baud) << code;
        EXPECT_EQ(port.m_portSpeed, code);
    }
    for (int code : {100, 0, -96, 560, 230400, 57600}) {
        EXPECT_EQ(port.SetPortSpeed(code), kStatusBadArgument) << code;
        EXPECT_EQ(line.HostBaudRate(), 1200u);
        EXPECT_EQ(port.m_portSpeed, 2304);
    }
}

TEST_F(PortTest, ARefusedSpeedCodeLeavesTheQueuesAlone) {
    CameraSendsAt(clock.NowMs(), {1, 2});
    clock.RunUntilUs(clock.NowUs() + 10'000);
    EXPECT_EQ(port.SetPortSpeed(100), kStatusBadArgument);
    EXPECT_EQ(line.HostInputQueued(), 2u);
    EXPECT_EQ(port.SetPortSpeed(384), kStatusOk);
    EXPECT_EQ(line.HostInputQueued(), 0u);
}

TEST_F(PortTest, BreakIsSeenByTheCameraAndEndingItTakesTwoSecondsAtNineSixHundred) {
    ASSERT_EQ(port.SetPortSpeed(384), kStatusOk);
    const uint64_t startUs = clock.NowUs();

    ASSERT_EQ(port.SetBreak(0), kStatusOk);
    EXPECT_TRUE(line.HostBreakOn());
    EXPECT_EQ(clock.NowUs(), startUs);
    DelayMs(300);
    ASSERT_EQ(port.SetBreak(1), kStatusOk);

    EXPECT_FALSE(line.HostBreakOn());
    EXPECT_EQ(clock.NowUs(), startUs + 2'300'000);
    EXPECT_EQ(port.m_portSpeed, 96);
    EXPECT_EQ(line.HostBaudRate(), 9600u);
    ASSERT_EQ(receiver.breaks.size(), 2u);
    EXPECT_TRUE(receiver.breaks[0].on);
    EXPECT_EQ(receiver.breaks[0].atUs, startUs);
    EXPECT_FALSE(receiver.breaks[1].on);
    EXPECT_EQ(receiver.breaks[1].atUs, startUs + 300'000);
}

TEST_F(PortTest, BreakRequestsOtherThanStartAndEndAreRefusedAtOnce) {
    const uint32_t start = clock.NowMs();
    for (int what : {7, 2, -1}) {
        EXPECT_EQ(port.SetBreak(what), kStatusBadArgument);
    }
    EXPECT_EQ(clock.NowMs(), start);
    EXPECT_TRUE(receiver.breaks.empty());
}

TEST_F(PortTest, BytesWrittenDuringABreakAreHeldBack) {
    ASSERT_EQ(port.SetBreak(0), kStatusOk);
    Fill(3, 0x41);
    ASSERT_EQ(port.WritePort(200), kStatusOk);
    DelayMs(100);
    EXPECT_TRUE(receiver.bytes.empty());
    EXPECT_EQ(port.WritePort(50), kStatusTimeout);  // the queue cannot drain during the break
    ASSERT_EQ(port.SetBreak(1), kStatusOk);
    // The line is free again, but the return to 9,600 bit/s purges the queues: only the byte
    // that went onto the wire at once is sent.
    EXPECT_EQ(receiver.bytes, (std::vector<uint8_t>{0x41}));
}

TEST_F(PortTest, DelayReturnsTheClockReadingExactlyThatMuchLater) {
    const uint32_t start = clock.NowMs();
    EXPECT_EQ(DelayMs(0), start);
    EXPECT_EQ(clock.NowMs(), start);
    EXPECT_EQ(DelayMs(250), start + 250);
    EXPECT_EQ(NowMs(), start + 250);
}

TEST(TimeReachedTest, ComparesAcrossTheWrapOfTheMillisecondCount) {
    EXPECT_TRUE(TimeReached(5, 5));
    EXPECT_TRUE(TimeReached(6, 5));
    EXPECT_FALSE(TimeReached(4, 5));
    EXPECT_TRUE(TimeReached(10, 0xFFFFFFF0u));
    EXPECT_FALSE(TimeReached(0xFFFFFFF0u, 10));
}

}  // namespace
}  // namespace serial_test

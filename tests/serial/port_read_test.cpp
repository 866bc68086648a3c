// Reading against a deadline: the allowance per expected byte, the 100 ms gap rule, what a
// time-out leaves behind, and the variant that keeps pending bytes.
#include <gtest/gtest.h>

#include <vector>

#include "line_fixture.hpp"

namespace serial_test {
namespace {

// At 9600 bit/s a byte takes 1,042 us on the wire.
constexpr uint64_t kByteUs9600 = 1042;

class ReadPortTest : public LineTest {
  protected:
    void SetUp() override {
        Open();
        start = clock.NowMs();
    }
    uint32_t start = 0;
};

TEST_F(ReadPortTest, TakesExactlyTheBytesAskedForAndLeavesTheRestQueued) {
    std::vector<uint8_t> sent;
    for (uint8_t i = 0; i < 12; ++i) {
        sent.push_back(static_cast<uint8_t>(0xA0 + i));
    }
    CameraSendsAt(start, sent);
    clock.RunUntilUs(clock.NowUs() + 20'000);
    const uint32_t before = clock.NowMs();

    port.m_recvLen = 9;
    ASSERT_EQ(port.ReadPort(1000), kStatusOk);
    EXPECT_EQ(clock.NowMs(), before);  // everything was there: no wait
    EXPECT_EQ(std::vector<uint8_t>(port.m_recvBuf, port.m_recvBuf + 9),
              std::vector<uint8_t>(sent.begin(), sent.begin() + 9));
    uint32_t left = 0;
    ASSERT_EQ(port.QueuedInput(&left), kStatusOk);
    EXPECT_EQ(left, 3u);

    port.m_recvLen = 3;
    ASSERT_EQ(port.ReadPort(0), kStatusOk);
    EXPECT_EQ(port.m_recvBuf[0], 0xA9);
    EXPECT_EQ(port.m_recvBuf[2], 0xAB);
}

TEST_F(ReadPortTest, ReturnsAsSoonAsTheLastExpectedByteArrives) {
    CameraSendsAt(start + 30, {1, 2, 3, 4});
    port.m_recvLen = 4;
    ASSERT_EQ(port.ReadPort(2000), kStatusOk);
    // Sent at +30 ms, four byte times later the last byte is complete.
    EXPECT_EQ(clock.NowUs(), (start + 30) * 1000 + 4 * kByteUs9600);
}

TEST_F(ReadPortTest, NothingArrivingTimesOutOneMillisecondPerByteAfterTheTimeout) {
    port.m_recvLen = 1;
    EXPECT_EQ(port.ReadPort(500), kStatusTimeout);
    EXPECT_EQ(clock.NowMs(), start + 501);
    EXPECT_EQ(port.m_recvLen, 1);

    const uint32_t second = clock.NowMs();
    port.m_recvLen = 40;
    EXPECT_EQ(port.ReadPort(500), kStatusTimeout);
    EXPECT_EQ(clock.NowMs(), second + 540);
    EXPECT_EQ(port.m_recvLen, 40);
}

TEST_F(ReadPortTest, APauseOf100MsAfterDataBeganEndsTheRead) {
    CameraSendsAt(start + 10, {7, 8, 9});
    port.m_recvLen = 9;

    EXPECT_EQ(port.ReadPort(2000), kStatusTimeout);

    const uint64_t thirdByteUs = (start + 10) * 1000 + 3 * kByteUs9600;
    EXPECT_EQ(clock.NowMs(), thirdByteUs / 1000 + 100);
    EXPECT_EQ(port.m_recvLen, 3);
    uint32_t left = 99;
    ASSERT_EQ(port.QueuedInput(&left), kStatusOk);
    EXPECT_EQ(left, 0u);  // discarded, not read
    EXPECT_EQ(port.m_recvBuf[0], 0);
}

TEST_F(ReadPortTest, TricklingBytesKeepTheReadAliveUntilTheDeadline) {
    // One byte every 90 ms: never a 100 ms pause, never enough bytes.
    std::vector<uint32_t> times;
    for (uint32_t t = start + 5; t < start + 1000; t += 90) {
        times.push_back(t);
    }
    CameraSendsOneByteAt(times);
    port.m_recvLen = 50;

    EXPECT_EQ(port.ReadPort(600), kStatusTimeout);

    EXPECT_EQ(clock.NowMs(), start + 650);
    EXPECT_EQ(port.m_recvLen, 8);  // bytes at +5, +95, ..., +635
    EXPECT_EQ(line.HostInputQueued(), 0u);
}

TEST_F(ReadPortTest, AByteJustInsideTheGapRestartsIt) {
    CameraSendsAt(start, {1});
    CameraSendsAt(start + 99, {2});
    port.m_recvLen = 5;
    EXPECT_EQ(port.ReadPort(2000), kStatusTimeout);
    // The second byte completes at +100.04 ms; the gap then runs to +200.
    EXPECT_EQ(clock.NowMs(), start + 200);
    EXPECT_EQ(port.m_recvLen, 2);
}

TEST_F(ReadPortTest, BytesCompletingTheReadJustBeforeTheGapEndsSucceed) {
    CameraSendsAt(start, {1, 2});
    CameraSendsAt(start + 97, {3});
    port.m_recvLen = 3;
    EXPECT_EQ(port.ReadPort(2000), kStatusOk);
    EXPECT_EQ(port.m_recvBuf[2], 3);
}

TEST_F(ReadPortTest, KeepingPendingTimesOutAlikeButLeavesTheBytesQueued) {
    CameraSendsAt(start + 10, {0x5A});
    port.m_recvLen = 9;

    EXPECT_EQ(port.ReadPortKeepingPending(2000), kStatusTimeout);

    EXPECT_EQ(clock.NowMs(), start + 111);  // byte complete at +11, then the gap
    EXPECT_EQ(port.m_recvLen, 1);
    uint32_t left = 0;
    ASSERT_EQ(port.QueuedInput(&left), kStatusOk);
    ASSERT_EQ(left, 1u);
    port.m_recvLen = 1;
    ASSERT_EQ(port.ReadPort(0), kStatusOk);
    EXPECT_EQ(port.m_recvBuf[0], 0x5A);
}

TEST_F(ReadPortTest, KeepingPendingWithNothingPendingLeavesTheCount) {
    port.m_recvLen = 4;
    EXPECT_EQ(port.ReadPortKeepingPending(100), kStatusTimeout);
    EXPECT_EQ(clock.NowMs(), start + 104);
    EXPECT_EQ(port.m_recvLen, 4);
}

TEST_F(ReadPortTest, ACountBeyondTheBufferIsRefusedInsteadOfOverrunningIt) {
    port.m_recvLen = kPortBufferSize + 1;
    EXPECT_EQ(port.ReadPort(100), kStatusBadArgument);
    EXPECT_EQ(clock.NowMs(), start);
}

TEST_F(ReadPortTest, WaitInputReturnsOnArrivalOrAtTheDeadline) {
    CameraSendsAt(start + 20, {1});
    uint32_t count = 0;
    while (port.QueuedInput(&count) == kStatusOk && count == 0 &&
           !TimeReached(clock.NowMs(), start + 500)) {
        port.WaitInput(start + 500);
    }
    EXPECT_EQ(count, 1u);
    EXPECT_EQ(clock.NowUs(), (start + 20) * 1000 + kByteUs9600);

    port.WaitInput(start + 10);  // already past: at once
    EXPECT_EQ(clock.NowMs(), start + 21);
    for (int i = 0; i < 5 && !TimeReached(clock.NowMs(), start + 300); ++i) {
        port.WaitInput(start + 300);
    }
    EXPECT_EQ(clock.NowMs(), start + 300);
}

}  // namespace
}  // namespace serial_test

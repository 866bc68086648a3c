// The virtual clock's event order and the virtual line's wire: byte timing, queues, speed
// mismatches, break, and the port system.
#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

#include "line_fixture.hpp"

namespace serial_test {
namespace {

TEST(VirtualClockTest, RunsEventsInTimeThenSchedulingOrderIncludingOnesAddedOnTheWay) {
    sim::VirtualClock clock;
    std::vector<std::string> ran;
    clock.At(3000, [&] { ran.push_back("c"); });
    clock.At(1000, [&] {
        ran.push_back("a");
        clock.After(500, [&] { ran.push_back("a+500"); });
        clock.After(0, [&] { ran.push_back("a+0"); });
    });
    clock.At(1000, [&] { ran.push_back("b"); });
    const auto cancelled = clock.At(2000, [&] { ran.push_back("cancelled"); });
    clock.At(9000, [&] { ran.push_back("late"); });
    clock.Cancel(cancelled);

    clock.SleepUntilMs(3);

    EXPECT_EQ(ran, (std::vector<std::string>{"a", "b", "a+0", "a+500", "c"}));
    EXPECT_EQ(clock.NowUs(), 3000u);
    EXPECT_EQ(clock.NextEventUs(), 9000u);
}

TEST(VirtualClockTest, SleepingIntoThePastReturnsAtOnce) {
    sim::VirtualClock clock;
    clock.RunUntilUs(5500);
    int ran = 0;
    clock.At(5800, [&] { ++ran; });
    clock.SleepUntilMs(5);
    clock.SleepUntilMs(2);
    EXPECT_EQ(clock.NowUs(), 5500u);
    EXPECT_EQ(ran, 0);
    clock.SleepUntilMs(6);
    EXPECT_EQ(clock.NowUs(), 6000u);
    EXPECT_EQ(ran, 1);
}

TEST(VirtualClockTest, StepRunsOneInstantOrMovesToTheLimit) {
    sim::VirtualClock clock;
    int ran = 0;
    clock.At(700, [&] { ++ran; });
    clock.At(700, [&] { ++ran; });
    clock.At(900, [&] { ++ran; });
    EXPECT_TRUE(clock.Step(10'000));
    EXPECT_EQ(ran, 2);
    EXPECT_EQ(clock.NowUs(), 700u);
    EXPECT_FALSE(clock.Step(800));
    EXPECT_EQ(clock.NowUs(), 800u);
    EXPECT_EQ(ran, 2);
    clock.At(100, [] {});
    EXPECT_EQ(clock.NextEventUs(), 800u);  // an event in the past is due now
}

TEST(LineSpeedTest, RatesWithinThreePercentAreTheSameSpeed) {
    EXPECT_TRUE(sim::SameLineSpeed(56000, 57600));
    EXPECT_TRUE(sim::SameLineSpeed(9600, 9600));
    EXPECT_FALSE(sim::SameLineSpeed(9600, 9900));
    EXPECT_FALSE(sim::SameLineSpeed(1200, 230400));
    EXPECT_EQ(sim::ByteTimeUs(9600), 1042u);
    EXPECT_EQ(sim::ByteTimeUs(38400), 260u);
    EXPECT_EQ(sim::ByteTimeUs(1200), 8333u);
}

TEST(LineSpeedTest, AMisreadByteIsNeverTheByteSent) {
    const uint32_t rates[] = {1200, 9600, 19200, 38400, 56000, 115200, 230400, 9900};
    for (uint32_t sender : rates) {
        for (uint32_t receiver : rates) {
            if (sim::SameLineSpeed(sender, receiver)) {
                continue;
            }
            for (int b = 0; b < 256; ++b) {
                const auto got = sim::MisreadByte(static_cast<uint8_t>(b), sender, receiver);
                if (got) {
                    EXPECT_NE(*got, b) << sender << "->" << receiver;
                }
                // Deterministic.
                EXPECT_EQ(got, sim::MisreadByte(static_cast<uint8_t>(b), sender, receiver));
            }
        }
    }
}

using VirtualLineTest = LineTest;

TEST_F(VirtualLineTest, BytesTakeTheirLineTimeAtTheSendersRate) {
    Open();
    const uint64_t t0 = clock.NowUs();
    const uint8_t data[] = {1, 2, 3};
    auto& host = *port.m_hPort;
    ASSERT_TRUE(host.Write(data, 3));
    QueueCounts counts;
    ASSERT_TRUE(host.ClearErrors(&counts));
    EXPECT_EQ(counts.outQueue, 3u);

    clock.RunUntilUs(t0 + 1041);
    EXPECT_TRUE(receiver.bytes.empty());
    clock.RunUntilUs(t0 + 1042);
    ASSERT_TRUE(host.ClearErrors(&counts));
    EXPECT_EQ(counts.outQueue, 2u);
    clock.RunUntilUs(t0 + 10'000);
    EXPECT_EQ(receiver.bytes, (std::vector<uint8_t>{1, 2, 3}));
    EXPECT_EQ(receiver.byteTimesUs, (std::vector<uint64_t>{t0 + 1042, t0 + 2084, t0 + 3126}));

    // The camera's answer travels at the camera's rate.
    camera().SetBaudRate(38400);
    ASSERT_EQ(port.SetPortSpeed(384), kStatusOk);
    const uint64_t t1 = clock.NowUs();
    const uint8_t answer[] = {0xD1, 0xD2};
    camera().Send(answer, 2);
    EXPECT_EQ(camera().PendingOutput(), 2u);
    clock.RunUntilUs(t1 + 519);
    EXPECT_EQ(line.HostInputQueued(), 1u);
    clock.RunUntilUs(t1 + 520);
    EXPECT_EQ(line.HostInputQueued(), 2u);
    EXPECT_EQ(camera().PendingOutput(), 0u);
}

TEST_F(VirtualLineTest, MismatchedSpeedsGarbleOrLoseBytesAndToleranceKeepsThem) {
    Open();
    std::vector<uint8_t> sent;
    for (int i = 0; i < 64; ++i) {
        sent.push_back(static_cast<uint8_t>(i * 37 + 11));
    }

    // Host at 38,400, camera still at 9,600: the camera gets no good copy of the data.
    ASSERT_EQ(port.SetPortSpeed(384), kStatusOk);
    std::copy(sent.begin(), sent.end(), port.m_sendBuf);
    port.m_sendLen = 64;
    ASSERT_EQ(port.WritePort(200), kStatusOk);
    clock.RunUntilUs(clock.NowUs() + 100'000);
    EXPECT_LT(receiver.bytes.size(), 32u);  // most bytes are lost inside slower frames
    EXPECT_NE(receiver.bytes, sent);

    // Camera faster than host: one wrong byte or nothing for each byte sent.
    receiver.bytes.clear();
    camera().SetBaudRate(115200);
    ASSERT_EQ(port.WritePort(200), kStatusOk);
    clock.RunUntilUs(clock.NowUs() + 100'000);
    EXPECT_LE(receiver.bytes.size(), 64u);
    EXPECT_NE(receiver.bytes, sent);

    // 56,000 at the host and 57,600 at the camera are within tolerance, both ways.
    receiver.bytes.clear();
    ASSERT_EQ(port.SetPortSpeed(576), kStatusOk);
    camera().SetBaudRate(57600);
    ASSERT_EQ(port.WritePort(200), kStatusOk);
    camera().Send(sent.data(), sent.size());
    clock.RunUntilUs(clock.NowUs() + 100'000);
    EXPECT_EQ(receiver.bytes, sent);
    port.m_recvLen = 64;
    ASSERT_EQ(port.ReadPort(0), kStatusOk);
    EXPECT_EQ(std::vector<uint8_t>(port.m_recvBuf, port.m_recvBuf + 64), sent);

    // The host at 1,200 (speed code 2304) cannot read a camera at 230,400.
    ASSERT_EQ(port.SetPortSpeed(2304), kStatusOk);
    camera().SetBaudRate(230400);
    camera().Send(sent.data(), sent.size());
    clock.RunUntilUs(clock.NowUs() + 100'000);
    uint32_t count = 0;
    ASSERT_EQ(port.QueuedInput(&count), kStatusOk);
    port.m_recvLen = static_cast<uint16_t>(count);
    ASSERT_EQ(port.ReadPort(0), kStatusOk);
    EXPECT_NE(std::vector<uint8_t>(port.m_recvBuf, port.m_recvBuf + count), sent);
}

TEST_F(VirtualLineTest, TheHostInputQueueHolds2048BytesAndDropsTheRest) {
    Open();
    camera().SetBaudRate(115200);
    ASSERT_EQ(port.SetPortSpeed(1152), kStatusOk);
    std::vector<uint8_t> many(2100);
    for (size_t i = 0; i < many.size(); ++i) {
        many[i] = static_cast<uint8_t>(i);
    }
    camera().Send(many.data(), many.size());
    clock.RunUntilUs(clock.NowUs() + 1'000'000);
    EXPECT_EQ(line.HostInputQueued(), 2048u);
    port.m_recvLen = 2048;
    ASSERT_EQ(port.ReadPort(0), kStatusOk);
    EXPECT_EQ(port.m_recvBuf[2047], static_cast<uint8_t>(2047));
}

TEST_F(VirtualLineTest, TheHostOutputQueueRefusesWhatWouldOverflowIt) {
    Open();
    std::vector<uint8_t> data(2000, 0x55);
    auto& host = *port.m_hPort;
    ASSERT_TRUE(host.Write(data.data(), 2000));
    EXPECT_FALSE(host.Write(data.data(), 49));
    EXPECT_TRUE(host.Write(data.data(), 48));
}

TEST_F(VirtualLineTest, ABreakCutsTheByteOnTheWireAndHoldsTheRest) {
    Open();
    const uint8_t data[] = {1, 2, 3};
    auto& host = *port.m_hPort;
    ASSERT_TRUE(host.Write(data, 3));
    clock.RunUntilUs(clock.NowUs() + 500);
    ASSERT_TRUE(host.SetBreak(true));
    clock.RunUntilUs(clock.NowUs() + 50'000);
    EXPECT_TRUE(receiver.bytes.empty());
    ASSERT_TRUE(host.SetBreak(false));
    clock.RunUntilUs(clock.NowUs() + 50'000);
    EXPECT_EQ(receiver.bytes, (std::vector<uint8_t>{2, 3}));
    EXPECT_EQ(receiver.breaks.size(), 2u);
}

TEST_F(VirtualLineTest, ClosingTheHostEndEndsABreakAndDropsQueuedBytes) {
    Open();
    ASSERT_EQ(port.SetBreak(0), kStatusOk);
    port.m_sendLen = 10;
    ASSERT_EQ(port.WritePort(0), kStatusOk);
    port.ClosePort();
    EXPECT_FALSE(line.HostBreakOn());
    ASSERT_EQ(receiver.breaks.size(), 2u);
    EXPECT_FALSE(receiver.breaks[1].on);
    clock.RunUntilUs(clock.NowUs() + 50'000);
    EXPECT_TRUE(receiver.bytes.empty());

    // Bytes for a closed host end are lost; a new opening starts empty at the old settings.
    const uint8_t answer[] = {9};
    camera().Send(answer, 1);
    clock.RunUntilUs(clock.NowUs() + 50'000);
    Open();
    EXPECT_EQ(line.HostInputQueued(), 0u);
}

TEST_F(VirtualLineTest, CameraTimersRunInVirtualTimeAndCanBeCancelled) {
    int fired = 0;
    camera().After(5000, [&] { ++fired; });
    const auto cancelled = camera().After(6000, [&] { fired += 10; });
    camera().CancelTimer(cancelled);
    clock.RunUntilUs(10'000);
    EXPECT_EQ(fired, 1);
}

TEST(VirtualLineLifetimeTest, ADriverOutlivingItsLineFailsInsteadOfCrashing) {
    sim::VirtualClock clock;
    std::unique_ptr<IPortDriver> driver;
    int fired = 0;
    {
        sim::VirtualLine line(clock);
        driver = line.OpenHostEnd();
        ASSERT_NE(driver, nullptr);
        EXPECT_EQ(line.OpenHostEnd(), nullptr);  // one host end at a time
        const uint8_t b = 1;
        ASSERT_TRUE(driver->Write(&b, 1));
        line.CameraEnd().After(100, [&] { ++fired; });
    }
    clock.RunUntilUs(1'000'000);  // the line's pending events went with it
    EXPECT_EQ(fired, 0);
    QueueCounts counts;
    EXPECT_FALSE(driver->ClearErrors(&counts));
    const uint8_t b = 2;
    EXPECT_FALSE(driver->Write(&b, 1));
    EXPECT_EQ(driver->LastFailure().problem, PortProblem::DeviceGone);
}

TEST(VirtualPortSystemTest, OnlyConnectedPortsThatAreNotOpenCanBeOpenedAndRefusalsSayWhy) {
    sim::VirtualClock clock;
    sim::VirtualLine line(clock);
    sim::VirtualPortSystem ports;
    ports.Connect(2, &line);
    PortFailure why;
    for (const char* absent : {"COM1", "COM5", "COM"}) {
        EXPECT_EQ(ports.Open(absent, &why), nullptr);
        EXPECT_EQ(why.problem, PortProblem::NoDevice) << absent;
    }
    auto first = ports.Open("COM2", &why);
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(why.problem, PortProblem::None);
    EXPECT_EQ(ports.Open("COM2", &why), nullptr);
    EXPECT_EQ(why.problem, PortProblem::InUse);

    // The adapter pulled out: the open driver fails as a device that has gone.
    line.UnplugHostEnd();
    EXPECT_FALSE(first->ClearErrors(nullptr));
    EXPECT_EQ(first->LastFailure().problem, PortProblem::DeviceGone);
    first.reset();

    // A refusal holds until it is lifted.
    ports.RefuseOpen(2, PortFailure{PortProblem::PermissionDenied, 13, "denied", "dialout"});
    EXPECT_EQ(ports.Open("COM2", &why), nullptr);
    EXPECT_EQ(why.detail, "dialout");
    ports.RefuseOpen(2, PortFailure{});
    EXPECT_NE(ports.Open("COM2", nullptr), nullptr);
    EXPECT_EQ(ports.OpenCount(2), 2);
    EXPECT_EQ(ports.OpenCount(1), 0);
}

}  // namespace
}  // namespace serial_test

// Opening and closing the port: the settings and fields an opening leaves, failures at each step,
// and what a closed port answers.
#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <string>

#include "line_fixture.hpp"

namespace serial_test {
namespace {

using OpenClose = LineTest;

TEST_F(OpenClose, OpenSetsLineAndFieldsAfterSettling) {
    clock.RunUntilUs(5'000'000);
    port.m_commandTries = 0;
    port.m_portSpeed = 384;

    ASSERT_EQ(port.OpenPort(1), kStatusOk);

    // The opening waits 100 ms for the port to settle.
    EXPECT_EQ(clock.NowMs(), 5100u);
    EXPECT_EQ(port.m_lastReceive, 5200u);
    EXPECT_EQ(port.m_commandTries, 3);
    EXPECT_EQ(port.m_portSpeed, 96);
    EXPECT_EQ(line.HostBaudRate(), 9600u);
    ASSERT_NE(port.m_sendBuf, nullptr);
    ASSERT_NE(port.m_recvBuf, nullptr);
    EXPECT_TRUE(std::all_of(port.m_sendBuf, port.m_sendBuf + kPortBufferSize,
                            [](uint8_t b) { return b == 0; }));
    EXPECT_TRUE(std::all_of(port.m_recvBuf, port.m_recvBuf + kPortBufferSize,
                            [](uint8_t b) { return b == 0; }));
    EXPECT_EQ(ports.OpenCount(1), 1);
}

TEST_F(OpenClose, ConstructionTakesTheClockReading) {
    clock.RunUntilUs(1'234'000);
    TestPort fresh(ports);
    EXPECT_EQ(fresh.m_lastReceive, 1234u);
    EXPECT_FALSE(fresh.IsPortOpen());
}

TEST_F(OpenClose, AbsentPortFailsAndCloseChangesOnlyTheSpeed) {
    port.m_portSpeed = 1152;
    port.m_commandTries = 7;
    port.m_lastReceive = 42;

    EXPECT_EQ(port.OpenPort(3), kStatusPortFailed);
    EXPECT_FALSE(port.IsPortOpen());
    EXPECT_EQ(port.m_sendBuf, nullptr);

    port.ClosePort();
    EXPECT_EQ(port.m_portSpeed, 96);
    EXPECT_EQ(port.m_commandTries, 7);
    EXPECT_EQ(port.m_lastReceive, 42u);
    EXPECT_EQ(port.m_sendBuf, nullptr);
    EXPECT_EQ(port.m_recvBuf, nullptr);
    EXPECT_EQ(clock.NowMs(), 0u);
}

TEST_F(OpenClose, PortNumbersOutsideOneToFourAreAbsent) {
    for (int n : {0, 5, 9, -1, 200}) {
        EXPECT_EQ(port.OpenPort(n), kStatusPortFailed) << n;
    }
}

TEST_F(OpenClose, APortInUseCannotBeOpenedTwice) {
    Open();
    TestPort other(ports);
    EXPECT_EQ(other.OpenPort(1), kStatusPortFailed);
    EXPECT_FALSE(other.IsPortOpen());
}

TEST_F(OpenClose, CloseDiscardsQueuesReleasesThePortAndAllowsReopening) {
    Open();
    ASSERT_EQ(port.SetPortSpeed(384), kStatusOk);
    camera().SetBaudRate(38400);
    CameraSendsAt(clock.NowMs(), {1, 2, 3});
    clock.RunUntilUs(clock.NowUs() + 10'000);
    port.m_sendLen = 50;
    ASSERT_EQ(port.WritePort(0), kStatusOk);
    ASSERT_EQ(line.HostInputQueued(), 3u);

    port.ClosePort();

    EXPECT_FALSE(port.IsPortOpen());
    EXPECT_FALSE(line.HostEndOpen());
    EXPECT_EQ(port.m_portSpeed, 96);
    EXPECT_EQ(port.m_sendBuf, nullptr);
    EXPECT_EQ(port.m_recvBuf, nullptr);
    EXPECT_EQ(line.HostInputQueued(), 0u);
    EXPECT_LE(line.HostOutputQueued(), 1u);  // only a byte already on the wire goes on

    EXPECT_EQ(port.OpenPort(1), kStatusOk);
    EXPECT_EQ(ports.OpenCount(1), 2);
}

TEST_F(OpenClose, OpeningAnOpenPortAgainStartsAFreshOpening) {
    Open();
    port.m_portSpeed = 384;
    EXPECT_EQ(port.OpenPort(1), kStatusOk);
    EXPECT_TRUE(port.IsPortOpen());
    EXPECT_EQ(port.m_portSpeed, 96);
}

TEST_F(OpenClose, EveryOperationOnAClosedPortFailsWithoutTouchingBuffers) {
    port.m_recvLen = 5;
    port.m_sendLen = 5;
    uint32_t count = 99;
    EXPECT_EQ(port.WritePort(100), kStatusPortFailed);
    EXPECT_EQ(port.ReadPort(100), kStatusPortFailed);
    EXPECT_EQ(port.ReadPortKeepingPending(100), kStatusPortFailed);
    EXPECT_EQ(port.SetPortSpeed(384), kStatusPortFailed);
    EXPECT_EQ(port.SetBreak(0), kStatusPortFailed);
    EXPECT_EQ(port.QueuedInput(&count), kStatusPortFailed);
    EXPECT_EQ(count, 99u);
    port.PurgePort(2);
    EXPECT_EQ(port.m_recvLen, 5);
    EXPECT_EQ(clock.NowMs(), 0u);  // none of them waited

    // Ending a break still gives the camera its 2 s.
    EXPECT_EQ(port.SetBreak(1), kStatusPortFailed);
    EXPECT_EQ(clock.NowMs(), 2000u);

    // A waiter on a closed port still waits rather than returning at once.
    port.WaitInput(2500);
    EXPECT_EQ(clock.NowMs(), 2500u);
}

TEST_F(OpenClose, DestroyingAnOpenPortFreesItForTheNextOpening) {
    {
        TestPort first(ports);
        ASSERT_EQ(first.OpenPort(1), kStatusOk);
        EXPECT_TRUE(line.HostEndOpen());
    }
    EXPECT_FALSE(line.HostEndOpen());
    Open();
}

// A port system whose one port fails at a chosen step of the opening.
enum class FailAt { None, SetupQueues, FirstClearErrors, GetSettings, SetSettings };

class StepFailingDriver final : public IPortDriver {
  public:
    StepFailingDriver(FailAt failAt, bool* closed) : m_failAt(failAt), m_closed(closed) {}
    ~StepFailingDriver() override { *m_closed = true; }
    PortFailure LastFailure() const override { return {}; }
    bool SetupQueues(uint32_t, uint32_t) override { return m_failAt != FailAt::SetupQueues; }
    bool ClearErrors(QueueCounts*) override { return m_failAt != FailAt::FirstClearErrors; }
    bool Purge(bool, bool) override { return true; }
    bool SetBreak(bool) override { return true; }
    bool GetSettings(LineSettings*) override { return m_failAt != FailAt::GetSettings; }
    bool SetSettings(const LineSettings& s) override {
        applied = s;
        return m_failAt != FailAt::SetSettings;
    }
    bool Write(const uint8_t*, uint32_t) override { return true; }
    bool Read(uint8_t*, uint32_t) override { return true; }
    void WaitForChange(WaitFor, uint32_t) override {}
    LineSettings applied{};

  private:
    FailAt m_failAt;
    bool* m_closed;
};

class StepFailingPorts final : public IPortSystem {
  public:
    std::unique_ptr<IPortDriver> Open(const std::string& name, PortFailure*) override {
        lastName = name;
        closed = false;
        auto driver = std::make_unique<StepFailingDriver>(failAt, &closed);
        lastDriver = driver.get();
        return driver;
    }
    PortMap Ports() override { return {}; }
    FailAt failAt = FailAt::None;
    bool closed = false;
    std::string lastName;
    StepFailingDriver* lastDriver = nullptr;
};

TEST(OpenSteps, AFailingStepClosesThePortWithStatus8) {
    sim::VirtualClock clock;
    ScopedClock useClock(clock);
    StepFailingPorts ports;
    for (FailAt step : {FailAt::SetupQueues, FailAt::FirstClearErrors, FailAt::GetSettings,
                        FailAt::SetSettings}) {
        ports.failAt = step;
        TestPort port(ports);
        EXPECT_EQ(port.OpenPort(2), kStatusPortFailed);
        EXPECT_TRUE(ports.closed);
        EXPECT_FALSE(port.IsPortOpen());
        EXPECT_EQ(port.m_sendBuf, nullptr);
        // A driver that gives no reason still leaves one behind.
        ASSERT_EQ(port.PortsTried().size(), 1u);
        EXPECT_EQ(port.PortsTried()[0].failure.problem, PortProblem::SetupFailed);
        EXPECT_FALSE(port.PortsTried()[0].opened);
    }
    EXPECT_EQ(ports.lastName, "COM2");
}

TEST(OpenSteps, TheOpeningAppliesTheFixedLineSettings) {
    sim::VirtualClock clock;
    ScopedClock useClock(clock);
    StepFailingPorts ports;
    TestPort port(ports);
    ASSERT_EQ(port.OpenPort(4), kStatusOk);
    const LineSettings& s = ports.lastDriver->applied;
    EXPECT_EQ(ports.lastName, "COM4");
    EXPECT_EQ(s.baudRate, 9600u);
    EXPECT_TRUE(s.binary);
    EXPECT_TRUE(s.parityCheck);
    EXPECT_TRUE(s.abortOnError);
    EXPECT_EQ(s.byteSize, 8);
    EXPECT_EQ(s.parity, 0);
    EXPECT_EQ(s.stopBits, 0);
    port.ClosePort();
    EXPECT_TRUE(ports.closed);
}

}  // namespace
}  // namespace serial_test

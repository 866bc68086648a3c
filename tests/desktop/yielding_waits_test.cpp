// The waits of the update keep the windows painting: long waits are cut into slices of at most
// 50 ms with a pump between them, the pump runs at most once per 50 ms, and no wait ends later
// than it would have without the slicing. All on the virtual clock.
#include <gtest/gtest.h>

#include <vector>

#include "app/desktop/desktop.hpp"
#include "sim/sim.hpp"

namespace {

// A port whose waits record their deadline and then let the virtual time run to it.
class RecordingPort final : public IPortDriver {
  public:
    RecordingPort(sim::VirtualClock& clock, std::vector<uint32_t>& deadlines)
        : m_clock(clock), m_deadlines(deadlines) {}
    PortFailure LastFailure() const override { return {}; }
    bool SetupQueues(uint32_t, uint32_t) override { return true; }
    bool ClearErrors(QueueCounts*) override { return true; }
    bool Purge(bool, bool) override { return true; }
    bool SetBreak(bool) override { return true; }
    bool GetSettings(LineSettings*) override { return true; }
    bool SetSettings(const LineSettings&) override { return true; }
    bool Write(const uint8_t*, uint32_t) override { return true; }
    bool Read(uint8_t*, uint32_t) override { return true; }
    void WaitForChange(WaitFor, uint32_t deadlineMs) override {
        m_deadlines.push_back(deadlineMs);
        m_clock.SleepUntilMs(deadlineMs);
    }

  private:
    sim::VirtualClock& m_clock;
    std::vector<uint32_t>& m_deadlines;
};

class RecordingPorts final : public IPortSystem {
  public:
    RecordingPorts(sim::VirtualClock& clock, std::vector<uint32_t>& deadlines)
        : m_clock(clock), m_deadlines(deadlines) {}
    std::unique_ptr<IPortDriver> Open(const std::string& name, PortFailure*) override {
        if (name != "COM1") {
            return nullptr;
        }
        return std::make_unique<RecordingPort>(m_clock, m_deadlines);
    }
    PortMap Ports() override { return {}; }

  private:
    sim::VirtualClock& m_clock;
    std::vector<uint32_t>& m_deadlines;
};

class YieldingWaits : public ::testing::Test {
  protected:
    sim::VirtualClock clock;
    std::vector<uint32_t> pumpTimes;
    CUiPump pump{clock, [this] { pumpTimes.push_back(clock.NowMs()); }};
};

TEST_F(YieldingWaits, ClockSleepIsSlicedWithAPumpEvery50Ms) {
    CYieldingClock yielding(clock, pump);
    yielding.SleepUntilMs(1000);
    EXPECT_EQ(clock.NowMs(), 1000u);
    ASSERT_EQ(pumpTimes.size(), 20u);
    for (size_t i = 0; i < pumpTimes.size(); ++i) {
        EXPECT_EQ(pumpTimes[i], 50u * i);
    }
}

TEST_F(YieldingWaits, ClockSleepNeverOvershootsAndPastDeadlinesReturnAtOnce) {
    CYieldingClock yielding(clock, pump);
    yielding.SleepUntilMs(73);
    EXPECT_EQ(clock.NowMs(), 73u);
    yielding.SleepUntilMs(10);  // already passed
    EXPECT_EQ(clock.NowMs(), 73u);
    EXPECT_EQ(yielding.NowMs(), clock.NowMs());
}

TEST_F(YieldingWaits, ClockSleepAcrossTheWrapOfTheMillisecondCounter) {
    clock.RunUntilUs(uint64_t{0xFFFFFFF0} * 1000);  // 16 ms before the 32-bit count wraps
    CYieldingClock yielding(clock, pump);
    yielding.SleepUntilMs(100);  // 116 ms later, after the wrap
    EXPECT_EQ(clock.NowMs(), 100u);
    EXPECT_EQ(pumpTimes.size(), 3u);
}

TEST_F(YieldingWaits, PortWaitsAreCutToOneSliceAfterAPump) {
    std::vector<uint32_t> deadlines;
    RecordingPorts inner(clock, deadlines);
    CYieldingPortSystem ports(inner, pump);
    EXPECT_EQ(ports.Open("COM2", nullptr), nullptr);
    std::unique_ptr<IPortDriver> port = ports.Open("COM1", nullptr);
    ASSERT_NE(port, nullptr);

    // A 2,000 ms time-out, as the port layer waits for it: until the deadline is reached.
    while (!TimeReached(clock.NowMs(), 2000)) {
        port->WaitForChange(WaitFor::Input, 2000);
    }
    ASSERT_EQ(deadlines.size(), 40u);
    EXPECT_EQ(deadlines.front(), 50u);
    EXPECT_EQ(deadlines.back(), 2000u);
    EXPECT_EQ(pumpTimes.size(), 40u);

    // A short wait keeps its own deadline.
    port->WaitForChange(WaitFor::OutputDrained, 2010);
    EXPECT_EQ(deadlines.back(), 2010u);
}

TEST_F(YieldingWaits, ManyShortWaitsPumpAtMostOncePer50Ms) {
    CYieldingClock yielding(clock, pump);
    for (uint32_t t = 1; t <= 500; ++t) {
        yielding.SleepUntilMs(t);
    }
    EXPECT_EQ(pumpTimes.size(), 10u);
    for (size_t i = 1; i < pumpTimes.size(); ++i) {
        EXPECT_GE(pumpTimes[i] - pumpTimes[i - 1], 50u);
    }
}

TEST(UiPump, APumpThatWaitsDoesNotPumpAgainInside) {
    sim::VirtualClock clock;
    int pumps = 0;
    CYieldingClock* yielding = nullptr;
    CUiPump pump(clock, [&] {
        ++pumps;
        yielding->SleepUntilMs(clock.NowMs() + 200);  // a paint handler that waits
    });
    CYieldingClock y(clock, pump);
    yielding = &y;
    pump.PumpNow();
    EXPECT_EQ(pumps, 1);
    EXPECT_EQ(clock.NowMs(), 200u);
}

}  // namespace

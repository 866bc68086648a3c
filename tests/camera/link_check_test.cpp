// The link check before every operation: probe, break recovery, step-down search, and the speed
// change with its repair step, against the virtual camera in virtual time.
#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "camera_bench.hpp"

namespace camtest {
namespace {

constexpr int kStatus = 0x7F;
constexpr int kSpeed = 0x41;

class LinkCheck : public ::testing::Test {
  protected:
    void SetUp() override {
        bench.OpenPort();
        link.m_preferredSpeed = 96;
        link.m_linkSpeed = 96;
    }
    uint64_t NowMsU() const { return bench.clock.NowUs() / 1000; }

    Bench bench;
    TestLink& link = bench.link;
    sim::VirtualCamera& camera = bench.camera;
};

TEST_F(LinkCheck, WrongStateByteEndsWithoutRecovery) {
    camera.State().stateByte = 3;
    EXPECT_EQ(link.ReadInfo(nullptr), kStatusWrongState);
    EXPECT_EQ(link.GetResult(), kResultWrongState);
    EXPECT_EQ(camera.Breaks(), 0);
    EXPECT_EQ(bench.Opcodes(), (std::vector<int>{kStatus}));
    EXPECT_EQ(link.m_commandTries, 3);
}

TEST_F(LinkCheck, WrongStateByteIsAcceptedAfterABreakRecovery) {
    camera.State().stateByte = 3;
    bench.PlaceCameraAt(38400);  // the probe at 9,600 bit/s goes unheard
    EXPECT_EQ(link.ReadInfo(nullptr), kStatusOk);
    EXPECT_EQ(link.GetResult(), kResultOk);
    EXPECT_EQ(camera.Breaks(), 1);
}

TEST_F(LinkCheck, ProbeGoesOutOnceThenThreeRecoveriesThenTheSearch) {
    bench.UseScriptedPeer();  // hears everything, answers nothing
    link.m_preferredSpeed = 384;
    const uint64_t start = NowMsU();
    EXPECT_EQ(link.ReadInfo(nullptr), kStatusPortFailed);
    EXPECT_EQ(link.GetResult(), kResultCommFailure);
    EXPECT_EQ(bench.peer.breaks, 3);
    EXPECT_EQ(link.m_linkSpeed, 96);
    EXPECT_EQ(link.m_portSpeed, 96);
    EXPECT_EQ(link.m_commandTries, 3);

    // Probe once; each recovery sends the speed command for 384 three times; the search tries
    // 96 only, since the failed recovery set the link speed to 96.
    std::vector<uint8_t> expected = CommandPacket(kStatus);
    for (int i = 0; i < 9; ++i) {
        const auto p = CommandPacket(kSpeed, {0, 0x38, 0x40});
        expected.insert(expected.end(), p.begin(), p.end());
    }
    for (int i = 0; i < 3; ++i) {
        const auto p = CommandPacket(kSpeed, {0, 0x96, 0x00});
        expected.insert(expected.end(), p.begin(), p.end());
    }
    EXPECT_EQ(bench.peer.received, expected);

    // The waits: probe 3,001 ms; each recovery 100 + 300 + 2,000 + 200 ms and three
    // acknowledgement time-outs; the search three more and its 200 ms.
    const uint64_t least = 3001 + 3 * (2600 + 3 * 3001) + 3 * 3001 + 200;
    EXPECT_GE(NowMsU() - start, least);
    EXPECT_LE(NowMsU() - start, least + 300);
}

// The camera placed at any speed while the host is at 9,600 bit/s: found again after one break.
class CameraAtSpeed : public LinkCheck, public ::testing::WithParamInterface<uint32_t> {};

TEST_P(CameraAtSpeed, BreakRecoveryFindsIt) {
    bench.PlaceCameraAt(GetParam());
    link.m_preferredSpeed = 384;
    CameraInfo info;
    EXPECT_EQ(link.ReadInfo(&info), kStatusOk) << bench.Log();
    EXPECT_EQ(camera.Breaks(), 1);
    EXPECT_EQ(link.m_linkSpeed, 384);
    EXPECT_EQ(bench.CameraBaud(), 38400u);
    EXPECT_EQ(bench.line.HostBaudRate(), 38400u);
    EXPECT_EQ(info.versionDigits, 0x00010005u);
    EXPECT_EQ(link.m_commandTries, 3);
}

INSTANTIATE_TEST_SUITE_P(Speeds, CameraAtSpeed,
                         ::testing::Values(19200u, 38400u, 57600u, 115200u, 230400u));

TEST_F(LinkCheck, CameraThatIgnoresBreaksAtAnotherSpeedIsNotFound) {
    bench.PlaceCameraAt(38400);
    camera.Faults().ignoreBreak = true;
    link.m_preferredSpeed = 384;
    EXPECT_EQ(link.CheckLink(0), kStatusPortFailed);
    EXPECT_EQ(link.GetResult(), kResultCommFailure);
    EXPECT_EQ(camera.Breaks(), 3);
    EXPECT_EQ(link.m_linkSpeed, 96);
    EXPECT_EQ(bench.line.HostBaudRate(), 9600u);
}

TEST_F(LinkCheck, UnpluggedCameraFailsWithPortFailure) {
    camera.Faults().unplugged = true;
    EXPECT_EQ(link.ReadInfo(nullptr), kStatusPortFailed);
    EXPECT_EQ(link.GetResult(), kResultCommFailure);
    EXPECT_TRUE(camera.Commands().empty());
    // The failure leaves nothing behind: plugged in again, the next operation succeeds.
    camera.Faults().unplugged = false;
    EXPECT_EQ(link.ReadInfo(nullptr), kStatusOk);
    EXPECT_EQ(link.GetResult(), kResultOk);
}

// Passes the line to the camera and plugs the camera in once the host has sent `bytesAfter`
// bytes after its `breaks`-th break.
class PlugInLater final : public sim::ICameraReceiver {
  public:
    PlugInLater(sim::VirtualCamera& camera, int breaks, size_t bytesAfter)
        : m_camera(camera), m_breaks(breaks), m_bytesAfter(bytesAfter) {}
    void OnByte(uint8_t byte) override {
        if (m_seenBreaks >= m_breaks && m_counted++ == m_bytesAfter) {
            m_camera.Faults().unplugged = false;
        }
        m_camera.OnByte(byte);
    }
    void OnBreak(bool on) override {
        if (!on) {
            ++m_seenBreaks;
        }
        m_camera.OnBreak(on);
    }

  private:
    sim::VirtualCamera& m_camera;
    int m_breaks;
    size_t m_bytesAfter;
    int m_seenBreaks = 0;
    size_t m_counted = 0;
};

TEST_F(LinkCheck, SearchAfterFailedRecoveryFindsTheCameraAt9600) {
    camera.Faults().unplugged = true;
    // After the third break the recovery's three speed commands go unheard; the search's first
    // speed command is heard.
    PlugInLater plug(camera, 3, 24);
    bench.line.AttachCamera(&plug);
    link.m_preferredSpeed = 384;
    CameraInfo info;
    EXPECT_EQ(link.ReadInfo(&info), kStatusOk) << bench.Log();
    EXPECT_EQ(link.m_linkSpeed, 96);
    EXPECT_EQ(link.m_preferredSpeed, 384);
    EXPECT_EQ(bench.Opcodes(), (std::vector<int>{kSpeed, kStatus, kStatus}));
    EXPECT_EQ(camera.Commands()[0].packet[2], 0x96);
    EXPECT_GE(camera.Commands()[1].atUs - camera.Commands()[0].atUs, 200'000u);
}

TEST_F(LinkCheck, RefusedSpeedChangeAfterAGoodProbeEndsWith13) {
    link.m_preferredSpeed = 384;
    camera.Faults().refuseOpcode = kSpeed;
    EXPECT_EQ(link.CheckLink(0), kStatusWrongState);
    EXPECT_EQ(link.GetResult(), kResultWrongState);
    EXPECT_EQ(camera.Breaks(), 0);
    EXPECT_EQ(link.m_linkSpeed, 96);
}

TEST_F(LinkCheck, SpeedChangeWithoutConfirmationEndsWithItsStatus) {
    link.m_preferredSpeed = 384;
    camera.Faults().deafAtBaud = 38400;
    EXPECT_EQ(link.CheckLink(0), kStatusTimeout);
    EXPECT_EQ(camera.Breaks(), 0);
    EXPECT_EQ(link.m_linkSpeed, 384);
}

// ---------------------------------------------------------------------------------------------
// The speed change when the port refuses the new rate.

// Port system whose ports fail to take one baud rate.
class RefusingPorts final : public IPortSystem {
  public:
    RefusingPorts(IPortSystem& inner, uint32_t refusedBaud)
        : m_inner(inner), m_refusedBaud(refusedBaud) {}
    std::unique_ptr<IPortDriver> Open(const std::string& name, PortFailure* failure) override {
        auto port = m_inner.Open(name, failure);
        return port ? std::make_unique<Driver>(std::move(port), m_refusedBaud) : nullptr;
    }
    PortMap Ports() override { return m_inner.Ports(); }

  private:
    class Driver final : public IPortDriver {
      public:
        Driver(std::unique_ptr<IPortDriver> inner, uint32_t refused)
            : m_in(std::move(inner)), m_refused(refused) {}
        PortFailure LastFailure() const override { return m_in->LastFailure(); }
        bool SetupQueues(uint32_t i, uint32_t o) override { return m_in->SetupQueues(i, o); }
        bool ClearErrors(QueueCounts* c) override { return m_in->ClearErrors(c); }
        bool Purge(bool i, bool o) override { return m_in->Purge(i, o); }
        bool SetBreak(bool on) override { return m_in->SetBreak(on); }
        bool GetSettings(LineSettings* s) override { return m_in->GetSettings(s); }
        bool SetSettings(const LineSettings& s) override {
            return s.baudRate != m_refused && m_in->SetSettings(s);
        }
        bool Write(const uint8_t* d, uint32_t n) override { return m_in->Write(d, n); }
        bool Read(uint8_t* d, uint32_t n) override { return m_in->Read(d, n); }
        void WaitForChange(WaitFor w, uint32_t t) override { m_in->WaitForChange(w, t); }

      private:
        std::unique_ptr<IPortDriver> m_in;
        uint32_t m_refused;
    };

    IPortSystem& m_inner;
    uint32_t m_refusedBaud;
};

// The repair command for the port's speed goes out at that speed, while the camera already
// listens at the refused one: the camera stays where the acknowledged command put it until the
// next link check finds it with a break. The outcome is the port's status.
TEST(SpeedChange, PortRefusalKeepsThePortSpeedAndStatus) {
    const struct {
        int from;
        int to;
        uint32_t refusedBaud;
        uint32_t cameraBaud;
    } cases[] = {{384, 192, 19200, 19200}, {96, 384, 38400, 38400}};
    for (const auto& c : cases) {
        Bench bench;
        RefusingPorts ports(bench.ports, c.refusedBaud);
        TestLink link(ports);
        ASSERT_EQ(link.OpenPort(1), kStatusOk);
        link.m_linkSpeed = 96;
        link.SpeedChange(c.from);
        ASSERT_EQ(link.m_status, kStatusOk);
        const size_t before = bench.camera.Commands().size();

        link.SpeedChange(c.to);
        EXPECT_EQ(link.m_status, kStatusPortFailed) << c.to;
        EXPECT_EQ(link.m_linkSpeed, c.from);
        EXPECT_EQ(link.m_portSpeed, c.from);
        EXPECT_EQ(link.m_lastReceive, NowMs());
        EXPECT_EQ(bench.camera.Commands().size(), before + 1);  // the repair is not heard
        EXPECT_EQ(bench.CameraBaud(), c.cameraBaud);

        // The next link check brings both ends together again.
        link.m_status = 0;
        link.m_preferredSpeed = c.from;
        link.LinkCheck();
        EXPECT_EQ(link.m_status, kStatusOk) << c.to;
        EXPECT_EQ(bench.camera.Breaks(), 1);
        link.ClosePort();
    }
}

}  // namespace
}  // namespace camtest

// The virtual camera on the virtual line, as the host's port driver sees it: breaks and speed
// mismatches arrive as the wire shows them.
#include <gtest/gtest.h>

#include <vector>

#include "sim/camera_sim.hpp"
#include "sim/sim.hpp"

namespace {

using Bytes = std::vector<uint8_t>;

struct OnLine {
    OnLine() : line(clock), camera(line.CameraEnd()) {
        line.AttachCamera(&camera);
        host = line.OpenHostEnd();
    }
    void SetHostBaud(uint32_t baud) {
        LineSettings settings;
        host->GetSettings(&settings);
        settings.baudRate = baud;
        host->SetSettings(settings);
    }
    void Write(const Bytes& bytes) {
        host->Write(bytes.data(), static_cast<uint32_t>(bytes.size()));
    }
    // Everything that reaches the host within `ms`.
    Bytes ReadFor(uint64_t ms) {
        clock.RunUntilUs(clock.NowUs() + ms * 1000);
        QueueCounts counts;
        host->ClearErrors(&counts);
        Bytes out(counts.inQueue);
        if (!out.empty()) {
            host->Read(out.data(), counts.inQueue);
        }
        return out;
    }

    sim::VirtualClock clock;
    sim::VirtualLine line;
    sim::VirtualCamera camera;
    std::unique_ptr<IPortDriver> host;
};

const Bytes kStatusRequest{0x7F, 0, 0, 0, 0, 0, 0, 0x1A};
const Bytes kSpeed38400{0x41, 0, 0x38, 0x40, 0, 0, 0, 0x1A};

TEST(CameraOnLine, HostAtAnotherSpeedIsNeverAnsweredAndABreakBringsBothTo9600) {
    OnLine t;
    t.Write(kSpeed38400);
    EXPECT_EQ(t.ReadFor(50), Bytes{0xD1});
    EXPECT_EQ(t.line.CameraEnd().BaudRate(), 38400u);

    // The host stayed at 9,600: its bytes arrive garbled or not at all.
    for (int i = 0; i < 3; ++i) {
        t.Write(kStatusRequest);
        EXPECT_TRUE(t.ReadFor(3500).empty()) << i;
    }
    EXPECT_EQ(t.camera.Commands().size(), 1u);  // the speed command only

    t.host->SetBreak(true);
    t.clock.RunUntilUs(t.clock.NowUs() + 300'000);
    t.host->SetBreak(false);
    t.clock.RunUntilUs(t.clock.NowUs() + 1000);
    EXPECT_EQ(t.camera.Breaks(), 1);
    EXPECT_EQ(t.line.CameraEnd().BaudRate(), 9600u);

    t.Write(kStatusRequest);
    const Bytes answer = t.ReadFor(500);
    ASSERT_EQ(answer.size(), 258u);
    EXPECT_EQ(answer[0], 0xD1);
}

TEST(CameraOnLine, SpeedChangeLetsTheAckArriveAtTheOldSpeed) {
    OnLine t;
    t.Write(kSpeed38400);
    EXPECT_EQ(t.ReadFor(50), Bytes{0xD1});
    t.SetHostBaud(38400);
    t.Write(kStatusRequest);
    const Bytes answer = t.ReadFor(200);
    ASSERT_EQ(answer.size(), 258u) << "257 bytes at 38,400 bit/s take 67 ms";
    EXPECT_EQ(answer[0], 0xD1);
}

}  // namespace

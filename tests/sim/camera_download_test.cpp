// The virtual camera in download mode: greeting, loader commands and what it records.
#include <gtest/gtest.h>

#include <vector>

#include "camera_bench.hpp"

namespace {

using camtest::CameraBench;
using camtest::Xor;
using Bytes = std::vector<uint8_t>;

const Bytes kGreeting{'V', 'X', 'P', 'L', 'E', 'Q', 'F', 'Z', 'U', 'R', 'B', 'W'};
const Bytes kAnswer{'W', 'B', 'R', 'U', 'Z', 'F', 'Q', 'E', 'L', 'P', 'X', 'V'};

struct DownloadBench : CameraBench {
    DownloadBench() { camera.State().mode = sim::CameraMode::Download; }
};

Bytes BlockPacket(uint8_t fill) {
    Bytes packet(256);
    for (size_t i = 0; i < packet.size(); ++i) {
        packet[i] = static_cast<uint8_t>(fill + i);
    }
    packet.push_back(Xor(packet, 0, 256));
    return packet;
}

TEST(CameraDownloadMode, GreetingIsAnsweredInReverseAndOnlyTheHostsD1OrAGreetingMayFollow) {
    DownloadBench bench;
    const uint64_t start = bench.clock.NowUs();
    bench.Write(kGreeting);
    EXPECT_EQ(bench.Read(12), kAnswer);
    EXPECT_LT(bench.LastSentDoneUs() - start, 2'000'000u);
    EXPECT_EQ(bench.camera.Greetings(), 1);
    bench.Write({0xD1});
    EXPECT_TRUE(bench.Read(1, 3000).empty());
    EXPECT_TRUE(bench.camera.ProtocolErrors().empty());

    // A command in place of the 0xD1 is a protocol error and is not heard.
    bench.Write(kGreeting);
    EXPECT_EQ(bench.Read(12), kAnswer);
    bench.Command(0x1E, 0, 0x00, 0x02);
    EXPECT_TRUE(bench.Read(1, 3000).empty());
    EXPECT_TRUE(bench.camera.Commands().empty());
    EXPECT_EQ(bench.camera.ProtocolErrors().size(), 1u);
    // A greeting may come again at any time.
    bench.Write(kGreeting);
    EXPECT_EQ(bench.Read(12), kAnswer);
    EXPECT_EQ(bench.camera.Greetings(), 3);
    bench.Write({0xD1});
    bench.Command(0x1E, 0, 0x00, 0x02);
    EXPECT_EQ(bench.Read(2), (Bytes{0xD1, 0x00}));
}

TEST(CameraDownloadMode, BankBlockAndParameterCommandsAreAckedCompletedAndRecordedInOrder) {
    DownloadBench bench;
    bench.Command(0x1E, 0, 0x00, 0x02);
    EXPECT_EQ(bench.Read(2), (Bytes{0xD1, 0x00}));

    bench.Command(0x1D, 0, 0x01, 0x00);  // block 256
    EXPECT_EQ(bench.Read(1), Bytes{0xD1});
    Bytes bad = BlockPacket(7);
    bad[10] ^= 0x40;
    bench.Write(bad);
    EXPECT_EQ(bench.Read(1), Bytes{0xE3});
    EXPECT_TRUE(bench.camera.Blocks().empty());
    bench.Write(BlockPacket(7));
    EXPECT_EQ(bench.Read(2), (Bytes{0xD2, 0x00}));

    bench.Command(0x21, 0, 0x00, 0xCA, 0x34, 0x38);  // parameter 202 = "48"
    EXPECT_EQ(bench.Read(2), (Bytes{0xD1, 0x00}));

    ASSERT_EQ(bench.camera.Banks().size(), 1u);
    EXPECT_EQ(bench.camera.Banks()[0].bank, 2);
    ASSERT_EQ(bench.camera.Blocks().size(), 1u);
    EXPECT_EQ(bench.camera.Blocks()[0].index, 256);
    EXPECT_EQ(bench.camera.Blocks()[0].data[0], 7);
    ASSERT_EQ(bench.camera.Parameters().size(), 1u);
    EXPECT_EQ(bench.camera.Parameters()[0].number, 202);
    EXPECT_EQ(bench.camera.Parameters()[0].value, 0x3438);
    EXPECT_LT(bench.camera.Banks()[0].atUs, bench.camera.Blocks()[0].atUs);
    EXPECT_LT(bench.camera.Blocks()[0].atUs, bench.camera.Parameters()[0].atUs);
    EXPECT_EQ(bench.camera.Commands().size(), 3u);

    const auto image = bench.camera.Image();
    ASSERT_EQ(image.size(), 196'608u);
    EXPECT_EQ(image[256 * 256], 7);
    EXPECT_EQ(image[256 * 256 + 255], static_cast<uint8_t>(7 + 255));
    EXPECT_EQ(image[0], 0);
}

TEST(CameraDownloadMode, BlockBeyondTheImageIsRecordedButNotPlaced) {
    DownloadBench bench;
    bench.Command(0x1D, 0, 0x03, 0x00);  // block 768
    ASSERT_EQ(bench.Read(1), Bytes{0xD1});
    bench.Write(BlockPacket(1));
    EXPECT_EQ(bench.Read(2), (Bytes{0xD2, 0x00}));
    EXPECT_EQ(bench.camera.Blocks().size(), 1u);
    EXPECT_EQ(bench.camera.Image(), std::vector<uint8_t>(196'608, 0));
}

TEST(CameraDownloadMode, TakesTheSpeedCommandAndRefusesNormalModeCommands) {
    DownloadBench bench;
    for (const uint8_t op : Bytes{0x7F, 0x75, 0x8D, 0x42, 0x9E}) {
        bench.Command(op);
        EXPECT_EQ(bench.Read(2, 3000), Bytes{0xE1}) << int{op};
    }
    bench.Command(0x41, 0, 0x38, 0x40);
    EXPECT_EQ(bench.Read(1), Bytes{0xD1});
    bench.RunMs(5);
    EXPECT_EQ(bench.line.BaudRate(), 38400u);
    EXPECT_EQ(bench.camera.State().mode, sim::CameraMode::Download);
}

}  // namespace

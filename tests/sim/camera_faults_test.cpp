// Every fault the virtual camera can be told to show.
#include <gtest/gtest.h>

#include <vector>

#include "camera_bench.hpp"

namespace {

using camtest::CameraBench;
using camtest::HostFrame;
using camtest::Xor;
using Bytes = std::vector<uint8_t>;

const Bytes kGreeting{'V', 'X', 'P', 'L', 'E', 'Q', 'F', 'Z', 'U', 'R', 'B', 'W'};

bool XorGood(const Bytes& packet) {
    return packet.size() == 257 && packet[256] == Xor(packet, 0, 256);
}

TEST(CameraFaults, RefusedCommandIsAnsweredE1AndStillRecorded) {
    CameraBench bench;
    bench.camera.Faults().refuseOpcode = 0x75;
    bench.Command(0x75, 0, 0, 0, 0, 1);
    EXPECT_EQ(bench.Read(2, 3000), Bytes{0xE1});
    EXPECT_EQ(bench.camera.State().clock, 0u);
    EXPECT_EQ(bench.camera.Commands().size(), 1u);
    bench.Command(0x7F);
    EXPECT_EQ(bench.Read(1), Bytes{0xD1}) << "other commands pass";

    bench.camera.Faults().refuseOpcode = sim::kAnyOpcode;
    bench.RunMs(3000);
    bench.Take();
    bench.Command(0x41, 0, 0x96, 0x00);
    EXPECT_EQ(bench.Read(2, 3000), Bytes{0xE1});
}

TEST(CameraFaults, Answer10EndsTheCommand) {
    CameraBench bench;
    bench.camera.Faults().answer10Opcode = 0x7F;
    bench.Command(0x7F);
    EXPECT_EQ(bench.Read(2, 4000), Bytes{0x10});
}

TEST(CameraFaults, WrongXorOnTheNthSendingCountsFromWhenTheFaultWasSet) {
    CameraBench bench;
    bench.Command(0x7F);  // one packet before the fault is set
    bench.Read(258);
    bench.Write({0xD2});
    bench.Read(1);

    bench.camera.Faults().badXorOnPacket = 2;
    bench.camera.Faults().badXorCount = 2;
    bench.Command(0x7F);
    ASSERT_EQ(bench.Read(1), Bytes{0xD1});
    std::vector<bool> good;
    for (int sending = 0; sending < 4; ++sending) {
        const Bytes packet = bench.Read(257);
        good.push_back(XorGood(packet));
        if (sending < 3) {
            bench.Write({0xE3});
        }
    }
    EXPECT_EQ(good, (std::vector<bool>{true, false, false, true}));
}

TEST(CameraFaults, RefusesKGoodDataFramesThenAccepts) {
    CameraBench bench;
    bench.camera.Faults().refuseDataPackets = 2;
    bench.Command(0x9E);
    ASSERT_EQ(bench.Read(1), Bytes{0xD1});
    const Bytes frame = HostFrame(0x80, Bytes(32, 'Q'), 58);
    bench.Write(frame);
    EXPECT_EQ(bench.Read(1), Bytes{0xE3});
    bench.Write(frame);
    EXPECT_EQ(bench.Read(1), Bytes{0xE3});
    bench.Write(frame);
    EXPECT_EQ(bench.Read(2), (Bytes{0xD2, 0x00}));
    EXPECT_EQ(bench.camera.Faults().refuseDataPackets, 0);
    EXPECT_EQ(bench.camera.State().cameraId[0], 'Q');
}

TEST(CameraFaults, E2InsteadOfTheDataPacketEndsTheCommandWithoutCompletion) {
    CameraBench bench;
    bench.camera.Faults().e2InsteadOfPacketOpcode = 0x7F;
    bench.Command(0x7F);
    EXPECT_EQ(bench.Read(3, 10'000), (Bytes{0xD1, 0xE2}));
    bench.Command(0x75);
    EXPECT_EQ(bench.Read(2), (Bytes{0xD1, 0x00})) << "the camera is ready for the next command";
}

TEST(CameraFaults, CompletionByteCanBeWrongOrMissing) {
    CameraBench bench;
    bench.camera.Faults().completionByteOpcode = 0x8D;
    bench.camera.Faults().completionByte = 0x05;
    bench.Command(0x8D);
    EXPECT_EQ(bench.Read(2), (Bytes{0xD1, 0x05}));
    EXPECT_EQ(bench.camera.State().mode, sim::CameraMode::Normal) << "a failed switch";

    bench.camera.Faults().noCompletionOpcode = 0x75;
    bench.Command(0x75, 0, 0, 0, 0, 4);
    EXPECT_EQ(bench.Read(2, 5000), Bytes{0xD1});
    EXPECT_EQ(bench.camera.State().clock, 4u);
}

TEST(CameraFaults, StallDelaysEveryAnswer) {
    CameraBench bench;
    bench.camera.Faults().stallUs = 500'000;
    bench.Command(0x75);
    const uint64_t packetEnd = bench.clock.NowUs();
    EXPECT_EQ(bench.Read(2), (Bytes{0xD1, 0x00}));
    const auto& sent = bench.line.sent;
    EXPECT_GE(sent[0].doneUs - packetEnd, 500'000u);
    EXPECT_GE(sent[1].doneUs - sent[0].doneUs, 500'000u);
    EXPECT_LT(sent[1].doneUs - packetEnd, 3'000'000u);
}

TEST(CameraFaults, SilentAfterNCommandsFinishesTheNthAndHearsNothingMore) {
    CameraBench bench;
    bench.camera.Faults().silentAfterCommands = 2;
    bench.Command(0x75);
    EXPECT_EQ(bench.Read(2), (Bytes{0xD1, 0x00}));
    bench.Command(0x7F);
    EXPECT_EQ(bench.Read(258).size(), 258u);
    bench.Write({0xD2});
    EXPECT_EQ(bench.Read(1), Bytes{0x00}) << "the second command runs to its end";

    bench.Command(0x75);
    bench.Break(300'000);
    EXPECT_TRUE(bench.Read(1, 5000).empty());
    EXPECT_EQ(bench.camera.Commands().size(), 2u);
    EXPECT_EQ(bench.camera.Breaks(), 0);
}

TEST(CameraFaults, UnpluggedHearsNoCommandBreakOrGreeting) {
    CameraBench bench;
    bench.camera.State().mode = sim::CameraMode::Download;
    bench.camera.Faults().unplugged = true;
    bench.Command(0x1E);
    bench.Write(kGreeting);
    bench.Break(300'000);
    EXPECT_TRUE(bench.Read(1, 5000).empty());
    EXPECT_TRUE(bench.camera.Commands().empty());
    EXPECT_EQ(bench.camera.Greetings(), 0);
    EXPECT_EQ(bench.camera.Breaks(), 0);

    bench.camera.Faults().unplugged = false;  // plugged in again
    bench.Command(0x1E);
    EXPECT_EQ(bench.Read(2), (Bytes{0xD1, 0x00}));
}

TEST(CameraFaults, GreetingAnswerCanBeWrongOrShort) {
    CameraBench bench;
    bench.camera.State().mode = sim::CameraMode::Download;
    bench.camera.Faults().greetingWrongByte = 5;
    bench.Write(kGreeting);
    const Bytes wrong = bench.Read(12);
    ASSERT_EQ(wrong.size(), 12u);
    EXPECT_NE(wrong[5], 'F');
    EXPECT_EQ(wrong[4], 'Z');

    bench.camera.Faults().greetingWrongByte = -1;
    bench.camera.Faults().greetingShortBy = 1;
    bench.Write(kGreeting);
    EXPECT_EQ(bench.Read(12, 3000), (Bytes{'W', 'B', 'R', 'U', 'Z', 'F', 'Q', 'E', 'L', 'P', 'X'}));
}

TEST(CameraFaults, DeafAtOneSpeedUntilABreakBringsItBack) {
    CameraBench bench;
    bench.camera.Faults().deafAtBaud = 38400;
    bench.Command(0x41, 0, 0x38, 0x40);
    EXPECT_EQ(bench.Read(1), Bytes{0xD1});
    bench.RunMs(5);
    bench.Command(0x7F);
    EXPECT_TRUE(bench.Read(1, 3000).empty());
    bench.Break(300'000);
    bench.Command(0x7F);
    EXPECT_EQ(bench.Read(1), Bytes{0xD1});
}

TEST(CameraFaults, RefusedBlockIndexIsNotRecorded) {
    CameraBench bench;
    bench.camera.State().mode = sim::CameraMode::Download;
    bench.camera.Faults().failBlockIndex = 300;
    bench.Command(0x1D, 0, 0x01, 0x2C);
    EXPECT_EQ(bench.Read(2, 3000), Bytes{0xE1});
    bench.Command(0x1D, 0, 0x01, 0x2D);
    EXPECT_EQ(bench.Read(1), Bytes{0xD1});
    EXPECT_TRUE(bench.camera.Blocks().empty());
}

TEST(CameraFaults, StateByteOtherThanTwoIsReportedWhileCommandsAreStillAnswered) {
    CameraBench bench;
    bench.camera.State().stateByte = 3;
    bench.Command(0x7F);
    ASSERT_EQ(bench.Read(1), Bytes{0xD1});
    EXPECT_EQ(bench.Read(257)[1], 3);
}

}  // namespace

// The virtual camera's exchanges in normal mode: acknowledgements, data packets in both
// directions, speed change, break, resynchronisation on garbage.
#include <gtest/gtest.h>

#include <vector>

#include "camera_bench.hpp"

namespace {

using camtest::CameraBench;
using camtest::HostFrame;
using camtest::Xor;
using Bytes = std::vector<uint8_t>;

TEST(CameraExchange, StatusRequestSendsTheBlockInOneXorCheckedPacketThenCompletes) {
    CameraBench bench;
    bench.camera.State().stateByte = 2;
    bench.camera.State().versionMajor = 3;
    bench.Command(0x7F);
    EXPECT_EQ(bench.Read(1), Bytes{0xD1});

    const Bytes packet = bench.Read(257);
    ASSERT_EQ(packet.size(), 257u);
    const auto block = bench.camera.BuildStatusBlock();
    EXPECT_TRUE(std::equal(block.begin(), block.end(), packet.begin()));
    for (size_t i = block.size(); i < 256; ++i) {
        EXPECT_EQ(packet[i], 0) << i;
    }
    EXPECT_EQ(packet[256], Xor(packet, 0, 256));
    EXPECT_TRUE(bench.Read(1, 2500).empty()) << "completion only after 0xD2";

    bench.Write({0xD2});
    EXPECT_EQ(bench.Read(1), Bytes{0x00});
    EXPECT_TRUE(bench.Read(1, 5000).empty());
}

TEST(CameraExchange, UnknownAndLoaderOpcodesAreRefusedInNormalMode) {
    for (const uint8_t op : Bytes{0x00, 0x1D, 0x1E, 0x21, 0x50}) {
        CameraBench bench;
        bench.Command(op, 0, 0, 1);
        EXPECT_EQ(bench.Read(2, 4000), Bytes{0xE1}) << int{op};
    }
}

TEST(CameraExchange, DataPacketIsSentAgainOnE3AndOnSilenceAndGivenUpAfterFiveSendings) {
    CameraBench bench;
    bench.Command(0x7F);
    ASSERT_EQ(bench.Read(1), Bytes{0xD1});
    const Bytes first = bench.Read(257);
    bench.Write({0xE3});
    EXPECT_EQ(bench.Read(257), first);

    // Silence: the next sending comes 3,000 ms after the packet has left.
    const uint64_t sentAt = bench.LastSentDoneUs();
    EXPECT_EQ(bench.Read(257, 3500), first);
    const uint64_t resendLeftAt = bench.LastSentDoneUs();
    EXPECT_GE(resendLeftAt - sentAt, 3'000'000u);
    EXPECT_LT(resendLeftAt - sentAt, 3'400'000u);

    // Sendings 4 and 5, then nothing: no completion byte either.
    bench.Write({0xE3});
    EXPECT_EQ(bench.Read(257), first);
    EXPECT_EQ(bench.Read(257, 3500), first);
    EXPECT_TRUE(bench.Read(1, 10'000).empty());

    // The camera is idle again and answers the next command.
    bench.Command(0x7F);
    EXPECT_EQ(bench.Read(1), Bytes{0xD1});
}

TEST(CameraExchange, IdFrameIsXorCheckedAndItsFirst32BytesBecomeTheId) {
    CameraBench bench;
    bench.Command(0x9E);
    ASSERT_EQ(bench.Read(1), Bytes{0xD1});
    Bytes id(32, 'A');
    id[31] = 'Z';
    Bytes frame = HostFrame(0x80, id, 58);
    ASSERT_EQ(frame.size(), 60u);
    Bytes bad = frame;
    bad[59] ^= 0x01;
    bench.Write(bad);
    EXPECT_EQ(bench.Read(1), Bytes{0xE3});
    EXPECT_EQ(bench.camera.State().cameraId[0], 0);

    bench.Write(frame);
    EXPECT_EQ(bench.Read(2), (Bytes{0xD2, 0x00}));
    EXPECT_EQ(bench.camera.State().cameraId[0], 'A');
    EXPECT_EQ(bench.camera.State().cameraId[31], 'Z');
}

TEST(CameraExchange, FramesWithControlByteZeroAreFollowedByMore) {
    CameraBench bench;
    bench.Command(0x42);
    ASSERT_EQ(bench.Read(1), Bytes{0xD1});
    Bytes table(256, 0);
    table[0] = 'N';
    bench.Write(HostFrame(0x00, table, 256));
    EXPECT_EQ(bench.Read(2), Bytes{0xD2}) << "no completion before the last frame";
    table[0] = 'M';
    bench.Write(HostFrame(0x80, table, 256));
    EXPECT_EQ(bench.Read(2), (Bytes{0xD2, 0x00}));
    EXPECT_EQ(bench.camera.State().nameTable[0], 'N') << "payloads of all frames, in order";
}

TEST(CameraExchange, ClockCommandSetsTheClockFromBytesTwoToFive) {
    CameraBench bench;
    bench.Command(0x75, 0, 0x12, 0x34, 0x56, 0x78);
    EXPECT_EQ(bench.Read(2), (Bytes{0xD1, 0x00}));
    EXPECT_EQ(bench.camera.State().clock, 0x12345678u);
    EXPECT_EQ(bench.camera.BuildStatusBlock()[0x0C], 0x12);
}

TEST(CameraExchange, SpeedCommandChangesTheSpeedOnceTheAckHasLeftWithoutCompletion) {
    const struct {
        uint8_t high, low;
        uint32_t baud;
    } kSpeeds[] = {{0x96, 0x00, 9600},  {0x19, 0x20, 19200},  {0x38, 0x40, 38400},
                   {0x57, 0x60, 57600}, {0x11, 0x52, 115200}, {0x23, 0x04, 230400}};
    for (const auto& s : kSpeeds) {
        CameraBench bench;
        bench.Command(0x41, 0, s.high, s.low);
        EXPECT_EQ(bench.Read(1), Bytes{0xD1});
        bench.RunMs(5);
        ASSERT_EQ(bench.line.baudChanges.size(), 1u) << s.baud;
        EXPECT_EQ(bench.line.baudChanges[0].second, s.baud);
        EXPECT_EQ(bench.line.sent[0].baud, 9600u) << "the ack goes out at the old speed";
        EXPECT_GE(bench.line.baudChanges[0].first, bench.line.sent[0].doneUs);
        EXPECT_TRUE(bench.Read(1, 4000).empty()) << "no completion byte";
    }
    CameraBench bench;
    bench.Command(0x41, 0, 0x56, 0x00);
    EXPECT_EQ(bench.Read(1), Bytes{0xE1});
    bench.RunMs(5);
    EXPECT_TRUE(bench.line.baudChanges.empty());
}

TEST(CameraExchange, BreakOfAtLeast250MsBringsTheLineTo9600AndAbandonsTheExchange) {
    CameraBench bench;
    bench.Command(0x41, 0, 0x38, 0x40);
    bench.RunMs(5);
    ASSERT_EQ(bench.line.BaudRate(), 38400u);

    bench.Break(200'000);
    EXPECT_EQ(bench.line.BaudRate(), 38400u) << "too short";
    EXPECT_EQ(bench.camera.Breaks(), 0);

    bench.Command(0x7F);
    ASSERT_EQ(bench.Read(1), Bytes{0xD1});
    bench.Break(300'000);
    EXPECT_EQ(bench.camera.Breaks(), 1);
    EXPECT_EQ(bench.line.BaudRate(), 9600u);
    bench.Take();
    EXPECT_TRUE(bench.Read(1, 5000).empty()) << "the status packet is not sent again";

    bench.camera.Faults().ignoreBreak = true;
    bench.Command(0x41, 0, 0x38, 0x40);
    bench.RunMs(5);
    bench.Break(300'000);
    EXPECT_EQ(bench.camera.Breaks(), 2);
    EXPECT_EQ(bench.line.BaudRate(), 38400u);
}

TEST(CameraExchange, GarbageIsNeverAnsweredAndThePacketAfterItIs) {
    CameraBench bench;
    // Eight bytes not ending in 0x1A, and a 0x1A without 0 before it.
    bench.Write({0x7F, 1, 2, 3, 4, 5, 6, 7, 9, 0x1A});
    // The greeting in normal mode.
    bench.Write({'V', 'X', 'P', 'L', 'E', 'Q', 'F', 'Z', 'U', 'R', 'B', 'W'});
    EXPECT_TRUE(bench.Read(1, 3000).empty());
    EXPECT_EQ(bench.camera.Greetings(), 1);
    EXPECT_TRUE(bench.camera.Commands().empty());

    // Leftovers right before a packet slide out of the window.
    bench.Write({0x33, 0x44, 0x75, 0, 0, 0, 0, 7, 0, 0x1A});
    EXPECT_EQ(bench.Read(2), (Bytes{0xD1, 0x00}));
    EXPECT_EQ(bench.camera.State().clock, 7u);

    // A partial packet followed by a pause is dropped; a whole packet after it is taken.
    bench.Write({0x75, 0, 0, 0});
    bench.RunMs(25);
    bench.Write({0, 9, 0, 0x1A});
    EXPECT_TRUE(bench.Read(1, 3000).empty());
    bench.Command(0x75, 0, 0, 0, 0, 8);
    EXPECT_EQ(bench.Read(2), (Bytes{0xD1, 0x00}));
    EXPECT_EQ(bench.camera.State().clock, 8u);
}

TEST(CameraExchange, NewCommandEndsAnExchangeTheHostHasGivenUp) {
    CameraBench bench;
    bench.Command(0x7F);
    ASSERT_EQ(bench.Read(1), Bytes{0xD1});
    ASSERT_EQ(bench.Read(257).size(), 257u);
    bench.RunMs(200);
    bench.Command(0x75, 0, 0, 0, 0, 3);
    EXPECT_EQ(bench.Read(2), (Bytes{0xD1, 0x00}));
    EXPECT_EQ(bench.camera.State().clock, 3u);
    EXPECT_TRUE(bench.Read(1, 5000).empty()) << "the abandoned packet is not sent again";
}

TEST(CameraExchange, CommandPacketInPlaceOfADataFrameEndsTheDataPhase) {
    CameraBench bench;
    bench.Command(0x9E);
    ASSERT_EQ(bench.Read(1), Bytes{0xD1});
    bench.RunMs(500);
    bench.Command(0x75, 0, 0, 0, 0, 5);
    EXPECT_EQ(bench.Read(2), (Bytes{0xD1, 0x00}));
    EXPECT_EQ(bench.camera.State().clock, 5u);
    EXPECT_EQ(bench.camera.State().cameraId[0], 0);
}

TEST(CameraExchange, EnterDownloadModeCompletesThenTheLoaderHearsNothingWhileItStarts) {
    CameraBench bench;
    bench.Command(0x8D);
    EXPECT_EQ(bench.Read(2), (Bytes{0xD1, 0x00}));
    EXPECT_EQ(bench.camera.State().mode, sim::CameraMode::Download);
    bench.Command(0x7F);
    EXPECT_TRUE(bench.Read(1, 3000).empty());
    EXPECT_EQ(bench.camera.Commands().size(), 1u);
    EXPECT_EQ(bench.camera.ProtocolErrors().size(), 1u);
    bench.Command(0x7F);
    EXPECT_EQ(bench.Read(1), Bytes{0xE1}) << "status request is not a loader command";
}

TEST(CameraExchange, AnswersComeAfterAShortProcessingDelayAndKeepTheHostsWaits) {
    CameraBench bench;
    const uint64_t sentAt = bench.clock.NowUs();
    bench.Command(0x7F);
    const uint64_t packetEnd = bench.clock.NowUs();
    ASSERT_EQ(bench.Read(258).size(), 258u);
    const auto& sent = bench.line.sent;
    const uint64_t ackAt = sent[0].doneUs;
    EXPECT_GT(ackAt, packetEnd);
    EXPECT_LT(ackAt - sentAt, 20'000u);
    // The whole packet within 2,000 ms of the ack, without pauses inside it.
    EXPECT_LT(sent[257].doneUs - ackAt, 2'000'000u);
    for (size_t i = 2; i < sent.size(); ++i) {
        EXPECT_LT(sent[i].doneUs - sent[i - 1].doneUs, 100'000u);
    }
}

}  // namespace

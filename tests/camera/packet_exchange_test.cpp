// Command packets, acknowledgements, data packets in both directions with their XOR checks and
// tries, the completion byte and the line drain, on the virtual line in virtual time.
#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

#include "camera_bench.hpp"

namespace camtest {
namespace {

class PeerExchange : public ::testing::Test {
  protected:
    void SetUp() override {
        bench.UseScriptedPeer();
        bench.OpenPort();
        startUs = bench.clock.NowUs();
    }
    uint64_t ElapsedMs() const { return (bench.clock.NowUs() - startUs) / 1000; }
    // Lets the host's last answer byte cross the line.
    void Settle() { DelayMs(20); }
    // How many times the host sent the 8-byte command packet.
    size_t Sendings() const { return bench.peer.received.size() / 8; }

    Bench bench;
    TestLink& link = bench.link;
    ScriptedPeer& peer = bench.peer;
    uint64_t startUs = 0;
};

// ---------------------------------------------------------------------------------------------
// Command packets and their acknowledgement.

TEST_F(PeerExchange, AcceptedCommandIsSentOnceAsBuilt) {
    peer.Expect(8, {0xD1});
    link.ClearCommand();
    link.m_command[0] = 0x7F;
    link.m_command[5] = 0x42;
    EXPECT_EQ(link.SendCommand(), kStatusOk);
    EXPECT_EQ(peer.received, CommandPacket(0x7F, {0, 0, 0, 0, 0x42}));
}

TEST_F(PeerExchange, AnswersThatEndTheCommandAtOnce) {
    const struct {
        uint8_t answer;
        uint32_t status;
    } cases[] = {{0xE1, kStatusRefused}, {0x10, kStatusInsteadOfAck}};
    for (const auto& c : cases) {
        peer.received.clear();
        peer.Expect(8, {c.answer});
        link.ClearCommand();
        EXPECT_EQ(link.SendCommand(), c.status);
        DelayMs(5000);  // no further sending follows
        EXPECT_EQ(Sendings(), 1u) << int{c.answer};
        EXPECT_EQ(peer.received.size(), 8u);
    }
}

TEST_F(PeerExchange, SendingsOnSilenceFollowTheTries) {
    const struct {
        int16_t tries;
        size_t sendings;
    } cases[] = {{3, 3}, {0, 1}, {1, 1}, {-2, 1}, {5, 5}};
    for (const auto& c : cases) {
        peer.received.clear();
        link.m_commandTries = c.tries;
        link.ClearCommand();
        EXPECT_EQ(link.SendCommand(), kStatusTimeout);
        EXPECT_EQ(Sendings(), c.sendings) << c.tries;
    }
}

TEST_F(PeerExchange, OtherByteCountsAsNoAnswerAndTheNextSendingFollows) {
    peer.Expect(8, {0x55});
    peer.Expect(8, {0xD1});
    link.ClearCommand();
    EXPECT_EQ(link.SendCommand(), kStatusOk);
    EXPECT_EQ(Sendings(), 2u);
}

TEST_F(PeerExchange, OnlyTheFirstSendingWaitsForTheQuietTime) {
    const uint32_t lastReceive = NowMs() + 700;
    link.m_lastReceive = lastReceive;
    link.m_commandTries = 2;
    link.ClearCommand();
    EXPECT_EQ(link.SendCommand(), kStatusTimeout);
    ASSERT_EQ(peer.receivedAtUs.size(), 16u);

    const uint64_t first = peer.receivedAtUs[0] / 1000;
    EXPECT_GE(first, lastReceive + 100u);
    EXPECT_LE(first, lastReceive + 102u);
    // The second sending follows the acknowledgement time-out (3,000 ms + 1 ms) at once.
    const uint64_t gapMs = (peer.receivedAtUs[8] - peer.receivedAtUs[0]) / 1000;
    EXPECT_GE(gapMs, 3001u);
    EXPECT_LE(gapMs, 3003u);
}

// ---------------------------------------------------------------------------------------------
// Data packets from the camera.

TEST_F(PeerExchange, OnePacketIsCheckedOverItsWholePayloadAndCutToTheRequest) {
    std::vector<uint8_t> payload = Counting(256);
    payload[200] = 0xFF;  // outside the 126 bytes wanted, inside the XOR
    peer.SendLater(1000, DataPacket(payload));
    std::vector<uint8_t> dst(130, 0xEE);
    EXPECT_EQ(link.ReceivePayload(dst.data(), 126, 257), kStatusOk);
    EXPECT_TRUE(std::equal(dst.begin(), dst.begin() + 126, payload.begin()));
    EXPECT_EQ(dst[126], 0xEE);
    EXPECT_EQ(link.m_packetSize, 256);
    Settle();
    EXPECT_EQ(peer.received, (std::vector<uint8_t>{0xD2}));
}

TEST_F(PeerExchange, LongPayloadSpansPackets) {
    const std::vector<uint8_t> first = Counting(256, 1);
    std::vector<uint8_t> second = Counting(256, 100);
    peer.SendLater(1000, DataPacket(first));
    peer.Expect(1, DataPacket(second));
    std::vector<uint8_t> dst(300);
    EXPECT_EQ(link.ReceivePayload(dst.data(), 300, 257), kStatusOk);
    EXPECT_TRUE(std::equal(first.begin(), first.end(), dst.begin()));
    EXPECT_TRUE(std::equal(second.begin(), second.begin() + 44, dst.begin() + 256));
    Settle();
    EXPECT_EQ(peer.received, (std::vector<uint8_t>{0xD2, 0xD2}));
}

TEST_F(PeerExchange, SmallFrame) {
    const std::vector<uint8_t> payload = Counting(16, 0x30);
    peer.SendLater(1000, DataPacket(payload));
    std::vector<uint8_t> dst(16);
    EXPECT_EQ(link.ReceivePayload(dst.data(), 16, 17), kStatusOk);
    EXPECT_EQ(dst, payload);
}

TEST_F(PeerExchange, ZeroLengthPayloadReadsNothing) {
    EXPECT_EQ(link.ReceivePayload(nullptr, 0, 257), kStatusOk);
    EXPECT_EQ(link.SendPayload(nullptr, 0, 258), kStatusOk);
    EXPECT_TRUE(peer.received.empty());
    EXPECT_EQ(ElapsedMs(), 0u);
}

TEST_F(PeerExchange, SilentCameraGetsFiveTriesEachAnsweredWithE3) {
    std::vector<uint8_t> dst(126);
    EXPECT_EQ(link.ReceivePayload(dst.data(), 126, 257), kStatusTimeout);
    // 2,000 ms, then four times 10,000 ms, each with 1 ms per expected byte.
    const uint64_t expected = 2000 + 257 + 4 * (10000 + 257);
    EXPECT_GE(ElapsedMs(), expected);
    EXPECT_LE(ElapsedMs(), expected + 10);
    Settle();
    EXPECT_EQ(peer.received, std::vector<uint8_t>(5, 0xE3));
}

TEST_F(PeerExchange, WrongXorOnEveryTryGives6AndAnswersNothing) {
    for (int i = 0; i < 5; ++i) {
        peer.SendLater(1000 + static_cast<uint64_t>(i) * 3'000'000,
                       DataPacket(Counting(256, static_cast<uint8_t>(10 * i)), true));
    }
    std::vector<uint8_t> dst(126);
    EXPECT_EQ(link.ReceivePayload(dst.data(), 126, 257), kStatusXorFailed);
    EXPECT_TRUE(peer.received.empty());
    const std::vector<uint8_t> last = Counting(126, 40);
    EXPECT_EQ(dst, last);  // the last rejected packet's bytes
}

TEST_F(PeerExchange, PartialPacketIsDiscardedAndAskedAgain) {
    peer.SendLater(1000, Counting(10));
    const std::vector<uint8_t> payload = Counting(256, 7);
    peer.Expect(1, DataPacket(payload));
    std::vector<uint8_t> dst(126);
    EXPECT_EQ(link.ReceivePayload(dst.data(), 126, 257), kStatusOk);
    Settle();
    EXPECT_EQ(peer.received, (std::vector<uint8_t>{0xE3, 0xD2}));
    EXPECT_TRUE(std::equal(dst.begin(), dst.end(), payload.begin()));
}

TEST_F(PeerExchange, SingleStrayByteDrainsTheLineThenTheNextTryReads) {
    peer.SendLater(1000, {0x55});
    const std::vector<uint8_t> payload = Counting(256, 3);
    peer.SendLater(3'000'000, DataPacket(payload));
    std::vector<uint8_t> dst(126);
    EXPECT_EQ(link.ReceivePayload(dst.data(), 126, 257), kStatusOk);
    Settle();
    EXPECT_EQ(peer.received, (std::vector<uint8_t>{0xD2}));  // no 0xE3 for the stray byte
    EXPECT_TRUE(std::equal(dst.begin(), dst.end(), payload.begin()));
}

TEST_F(PeerExchange, SingleStrayByteOnALineThatNeverQuietensEndsWith7) {
    peer.SendLater(1000, {0x55});
    for (uint64_t t = 400'000; t < 15'000'000; t += 50'000) {
        peer.SendLater(t, {0x66});
    }
    std::vector<uint8_t> dst(126);
    EXPECT_EQ(link.ReceivePayload(dst.data(), 126, 257), kStatusTimeout);
    EXPECT_TRUE(peer.received.empty());
    // The stray byte is seen 100 ms after it arrived; the drain then runs its 10,000 ms.
    EXPECT_GE(ElapsedMs(), 10100u);
    EXPECT_LE(ElapsedMs(), 10110u);
}

// ---------------------------------------------------------------------------------------------
// Data packets to the camera.

TEST_F(PeerExchange, FrameLayoutsWithControlByte) {
    const struct {
        int length;
        int frame;
    } cases[] = {{16, 18}, {32, 60}, {256, 258}};
    for (const auto& c : cases) {
        peer.received.clear();
        peer.Expect(static_cast<size_t>(c.frame), {0xD2});
        const std::vector<uint8_t> data = Counting(static_cast<size_t>(c.length), 0x41);
        EXPECT_EQ(link.SendPayload(data.data(), c.length, c.frame), kStatusOk);

        std::vector<uint8_t> expected{0x80};
        expected.insert(expected.end(), data.begin(), data.end());
        expected.resize(static_cast<size_t>(c.frame - 1), 0);
        expected.push_back(DataPacket(data).back());  // padding does not change the XOR
        EXPECT_EQ(peer.received, expected) << c.frame;
        EXPECT_EQ(link.m_packetSize, c.frame - 1);
    }
}

TEST_F(PeerExchange, LongPayloadToTheCameraSpansPacketsWithControlBytes) {
    for (int i = 0; i < 3; ++i) {
        peer.Expect(258, {0xD2});
    }
    std::vector<uint8_t> data(600);
    for (size_t i = 0; i < data.size(); ++i) {
        data[i] = static_cast<uint8_t>(i * 7 + 1);
    }
    EXPECT_EQ(link.SendPayload(data.data(), 600, 258), kStatusOk);
    ASSERT_EQ(peer.received.size(), 3u * 258u);

    const uint8_t controls[3] = {0x00, 0x00, 0x80};
    for (size_t p = 0; p < 3; ++p) {
        const auto frame = peer.received.begin() + static_cast<std::ptrdiff_t>(p * 258);
        EXPECT_EQ(frame[0], controls[p]);
        const size_t used = std::min<size_t>(256, 600 - p * 256);
        std::vector<uint8_t> payload(frame + 1, frame + 257);
        EXPECT_TRUE(std::equal(payload.begin(), payload.begin() + static_cast<std::ptrdiff_t>(used),
                               data.begin() + static_cast<std::ptrdiff_t>(p * 256)));
        EXPECT_TRUE(std::all_of(payload.begin() + static_cast<std::ptrdiff_t>(used), payload.end(),
                                [](uint8_t b) { return b == 0; }));
        EXPECT_EQ(frame[257], DataPacket(payload).back());
    }
}

TEST_F(PeerExchange, PlainPacketHasNoControlByte) {
    const std::vector<uint8_t> data = Counting(256, 9);
    peer.Expect(257, {0xD2});
    EXPECT_EQ(link.SendDataPacket(data.data(), 256), kStatusOk);
    EXPECT_EQ(peer.received, DataPacket(data));
}

TEST_F(PeerExchange, RefusedPacketsAreSentAgainUpToFiveTimes) {
    const std::vector<uint8_t> data = Counting(16);
    for (int refusals : {4, 5}) {
        peer.received.clear();
        for (int i = 0; i < refusals; ++i) {
            peer.Expect(18, {0xE3});
        }
        if (refusals < 5) {
            peer.Expect(18, {0xD2});
        }
        EXPECT_EQ(link.SendPayload(data.data(), 16, 18), refusals < 5 ? kStatusOk : kStatusRefused);
        EXPECT_EQ(peer.received.size(), 5u * 18u) << refusals;
    }
}

TEST_F(PeerExchange, AnswersThatEndAPacketAtOnce) {
    const std::vector<uint8_t> data = Counting(256);
    const struct {
        std::vector<uint8_t> answer;
        uint32_t status;
    } cases[] = {{{}, kStatusTimeout}, {{0x10}, kStatusInsteadOfAck}, {{0x44}, kStatusTimeout}};
    for (const auto& c : cases) {
        peer.received.clear();
        peer.Expect(257, c.answer);
        EXPECT_EQ(link.SendDataPacket(data.data(), 256), c.status);
        DelayMs(4000);
        EXPECT_EQ(peer.received.size(), 257u);
    }
}

TEST_F(PeerExchange, OversizedFramesAreRefusedBeforeSending) {
    std::vector<uint8_t> data(4096);
    EXPECT_EQ(link.SendDataPacket(data.data(), 2047), kStatusBadArgument);
    EXPECT_EQ(link.SendPayload(data.data(), 4000, 4000), kStatusBadArgument);
    EXPECT_EQ(link.ReceivePayload(data.data(), 4000, 3000), kStatusBadArgument);
    EXPECT_EQ(link.ReceivePayload(data.data(), 10, 1), kStatusBadArgument);
    EXPECT_TRUE(peer.received.empty());
}

// ---------------------------------------------------------------------------------------------
// Completion byte.

TEST_F(PeerExchange, CompletionStampsTheLastReceiveWhateverItGives) {
    const struct {
        std::vector<uint8_t> byte;
        uint32_t status;
    } cases[] = {{{0x00}, kStatusOk}, {{0x01}, kStatusCameraFailed}, {{}, kStatusTimeout}};
    for (const auto& c : cases) {
        if (!c.byte.empty()) {
            peer.SendLater(50'000, c.byte);
        }
        link.m_lastReceive = 0;
        EXPECT_EQ(link.ReadCompletion(3000), c.status);
        EXPECT_EQ(link.m_lastReceive, NowMs());
    }
}

// ---------------------------------------------------------------------------------------------
// Draining the line.

TEST_F(PeerExchange, DrainOfAQuietLine) {
    EXPECT_EQ(link.DrainLine(), kStatusOk);
    EXPECT_EQ(ElapsedMs(), 1300u);  // the pause, then 100 ms of empty input
    EXPECT_EQ(link.m_recvLen, 0);
}

TEST_F(PeerExchange, DrainDiscardsWhatArrivesAndCountsIt) {
    peer.SendLater(500'000, Counting(5));
    EXPECT_EQ(link.DrainLine(), kStatusOk);
    EXPECT_EQ(link.m_recvLen, 5);
    EXPECT_EQ(bench.line.HostInputQueued(), 0u);
    EXPECT_EQ(ElapsedMs(), 1300u);  // the discard at the end of the pause starts the quiet time
}

TEST_F(PeerExchange, DrainWaitsForAStreamToEnd) {
    for (uint64_t t = 0; t < 3'000'000; t += 50'000) {
        peer.SendLater(t, {0x66});
    }
    EXPECT_EQ(link.DrainLine(), kStatusOk);
    // Watching 1,200-2,400 ms never sees 100 ms of quiet; the second watch starts at 3,600 ms.
    EXPECT_EQ(ElapsedMs(), 3700u);
    EXPECT_EQ(bench.line.HostInputQueued(), 0u);
}

TEST_F(PeerExchange, DrainGivesUpAfterTenSeconds) {
    for (uint64_t t = 0; t < 20'000'000; t += 50'000) {
        peer.SendLater(t, {0x66});
    }
    EXPECT_EQ(link.DrainLine(), kStatusTimeout);
    EXPECT_EQ(ElapsedMs(), 10000u);
    EXPECT_GT(link.m_recvLen, 100);
}

TEST_F(PeerExchange, DrainOfAClosedPortFails) {
    link.ClosePort();
    EXPECT_EQ(link.DrainLine(), kStatusTimeout);
}

}  // namespace
}  // namespace camtest

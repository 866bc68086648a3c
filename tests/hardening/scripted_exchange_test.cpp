// The camera link against a scripted far end (the line the fuzz targets use): a scripted sound
// conversation goes through, which shows that the fuzzers' seeds reach deep; floods, silences and
// a clock about to wrap end within the time-outs, with the port released.
#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "download/download.hpp"
#include "fuzz/scripted_line.hpp"

namespace {

// Script building (flags as in scripted_line.hpp).
constexpr uint8_t kXor = 0x04;
constexpr uint8_t kLong = 0x08;
constexpr uint8_t kFollows = 0x20;

void Chunk(std::vector<uint8_t>& script, const std::vector<uint8_t>& data, uint8_t flags = 0) {
    if (data.size() > 255 || (flags & kLong) != 0) {
        script.push_back(static_cast<uint8_t>(flags | kLong));
        script.push_back(static_cast<uint8_t>(data.size() >> 8));
    } else {
        script.push_back(flags);
    }
    script.push_back(static_cast<uint8_t>(data.size() & 0xFF));
    script.insert(script.end(), data.begin(), data.end());
}

std::vector<uint8_t> Bytes(const char* text) {
    return std::vector<uint8_t>(text, text + std::char_traits<char>::length(text));
}

// A camera in download mode that answers the greeting, the speed change and every command of a
// transfer.
std::vector<uint8_t> SoundTransferScript() {
    std::vector<uint8_t> s;
    Chunk(s, {});                     // opening
    Chunk(s, Bytes("WBRUZFQELPXV"));  // greeting answer
    Chunk(s, {});                     // the host's 0xD1
    Chunk(s, {0xD1});                 // speed command
    for (int i = 0; i < 4; ++i) {     // bank commands
        Chunk(s, {0xD1, 0x00});
    }
    for (int b = 0; b < kFirmwareBlocks; ++b) {
        Chunk(s, {0xD1});        // block command
        Chunk(s, {0xD2, 0x00});  // data packet accepted, completion
    }
    for (int p = 0; p < 4 + 48; ++p) {  // checksums and fixed parameters
        Chunk(s, {0xD1, 0x00});
    }
    return s;
}

std::vector<uint8_t> Image() {
    std::vector<uint8_t> image(kFirmwareImageBytes);
    for (size_t i = 0; i < image.size(); ++i) {
        image[i] = static_cast<uint8_t>((i * 13) & 0xFF);
    }
    return image;
}

TEST(ScriptedExchange, SoundConversationConnectsAndTransfersEvenAcrossTheClockWrap) {
    for (const uint8_t start :
         {uint8_t{0}, uint8_t{2}}) {  // 2: the millisecond clock wraps during the transfer
        const std::vector<uint8_t> script = SoundTransferScript();
        fuzzline::ScriptedLine line(script, fuzzline::StartClockFor(start));
        ScopedClock scoped(line);
        {
            CCameraLink link(line);
            int32_t inDownloadMode = -1;
            EXPECT_EQ(link.Connect(1, kTransferSpeedCode, nullptr, nullptr, &inDownloadMode), 0);
            EXPECT_EQ(inDownloadMode, 1);
            int stage2 = 0;
            EXPECT_EQ(link.DownloadFirmware(Image(),
                                            [&](int32_t stage, int32_t, int32_t, int32_t) {
                                                stage2 += stage == 2 ? 1 : 0;
                                                return 1;
                                            }),
                      0);
            EXPECT_EQ(stage2, 1);
            EXPECT_FALSE(link.IsPortOpen());
        }
        EXPECT_EQ(line.OpenDrivers(), 0);
        // 12 greeting bytes, 0xD1, the speed command, 4 + 768 + 52 command packets, 768 data
        // packets.
        EXPECT_EQ(line.Written().size(), 12u + 1 + 8 + 8 * (4 + 768 + 52) + 257u * 768);
    }
}

class GarbageAnswers : public ::testing::Test {
  protected:
    // Runs a status request against the script and returns its status.
    uint32_t StatusRequest(const std::vector<uint8_t>& script, uint8_t clockStart = 0) {
        fuzzline::ScriptedLine line(script, fuzzline::StartClockFor(clockStart));
        ScopedClock scoped(line);
        uint32_t status = 0;
        {
            CCameraProtocol link(line);
            EXPECT_EQ(link.OpenPort(1), kStatusOk);
            std::vector<uint8_t> block(126);
            const uint8_t params[5] = {};
            link.RunCommand(0x7F, params, block.data(), 126, nullptr, 0, 257, 3000);
            link.ClosePort();
            status = link.FinishOperation();
        }
        EXPECT_EQ(line.OpenDrivers(), 0);
        longestWait = line.LongestWaitMs();
        return status;
    }
    uint32_t longestWait = 0;
};

TEST_F(GarbageAnswers, AFloodBeyondTheBuffersFailsTheReadWithoutOverrun) {
    std::vector<uint8_t> script;
    Chunk(script, {});
    Chunk(script, {0xD1});
    Chunk(script, std::vector<uint8_t>(5000, 0x55), kFollows);  // more than the driver queue
    EXPECT_EQ(StatusRequest(script), kStatusXorFailed);
    EXPECT_LE(longestWait, 10'000u + 257);
}

TEST_F(GarbageAnswers, SilenceAndStraySingleBytesEndWithinTheTimeOuts) {
    std::vector<uint8_t> silent;
    Chunk(silent, {});
    EXPECT_EQ(StatusRequest(silent), kStatusTimeout);
    EXPECT_LE(longestWait, 3'000u + 1);

    // Acknowledged, then one stray byte in place of every data packet.
    std::vector<uint8_t> stray;
    Chunk(stray, {});
    Chunk(stray, {0xD1});
    Chunk(stray, {0x42}, kFollows);
    for (int i = 0; i < 8; ++i) {
        Chunk(stray, {0x42});
    }
    EXPECT_EQ(StatusRequest(stray, 3), kStatusTimeout);
    EXPECT_LE(longestWait, 10'000u + 257);
}

TEST_F(GarbageAnswers, ATrickledPacketWithPausesBelowTheGapIsTaken) {
    std::vector<uint8_t> script;
    Chunk(script, {});
    Chunk(script, {0xD1});
    // 256 payload bytes and their XOR byte in pieces 60 ms apart (the gap rule is 100 ms).
    std::vector<uint8_t> payload(256);
    for (size_t i = 0; i < payload.size(); ++i) {
        payload[i] = static_cast<uint8_t>(i);
    }
    uint8_t x = 0;
    for (uint8_t b : payload) {
        x = static_cast<uint8_t>(x ^ b);
    }
    payload.push_back(x);
    for (size_t at = 0; at < payload.size(); at += 64) {
        const size_t n = std::min<size_t>(64, payload.size() - at);
        Chunk(script,
              std::vector<uint8_t>(payload.begin() + static_cast<std::ptrdiff_t>(at),
                                   payload.begin() + static_cast<std::ptrdiff_t>(at + n)),
              static_cast<uint8_t>(kFollows | 0x01));
    }
    Chunk(script, {0x00});  // completion after the host's 0xD2
    EXPECT_EQ(StatusRequest(script, 2), kStatusOk);
}

}  // namespace

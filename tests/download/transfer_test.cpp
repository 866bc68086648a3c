// Firmware transfer: blocks, checksums, fixed parameters, progress reports, failures.
#include <gtest/gtest.h>

#include <vector>

#include "world.hpp"

namespace {

using sim::CameraMode;

struct Report {
    int32_t stage;
    int32_t value;
};

// A connected link to a camera in download mode.
class TransferTest : public ::testing::Test {
  protected:
    TransferTest() : camera(world.AddCamera(1, CameraMode::Download)), link(world.ports) {}

    void Connect() {
        int32_t flag = 0;
        ASSERT_EQ(link.Connect(1, kTransferSpeedCode, nullptr, nullptr, &flag), 0);
        camera.Faults() = sim::CameraFaults{};
    }

    ProgressCallback Recorder(int stopAtStage = -1) {
        return [this, stopAtStage](int32_t stage, int32_t value, int32_t, int32_t) {
            reports.push_back({stage, value});
            return stage == stopAtStage ? 0 : 1;
        };
    }

    static std::vector<uint8_t> PatternImage() {
        std::vector<uint8_t> image(kFirmwareImageBytes);
        uint32_t x = 0x12345678;
        for (auto& b : image) {
            x = x * 1103515245u + 12345u;
            b = static_cast<uint8_t>(x >> 24);
        }
        return image;
    }

    // The checksum value as it goes on the wire: XOR of the bank's even-offset bytes, then of its
    // odd-offset bytes.
    static uint16_t WireChecksum(const std::vector<uint8_t>& image, int bank) {
        uint8_t even = 0;
        uint8_t odd = 0;
        for (size_t i = 0; i < 65536; ++i) {
            const uint8_t b = image[static_cast<size_t>(bank) * 65536 + i];
            (i % 2 == 0 ? even : odd) ^= b;
        }
        return static_cast<uint16_t>((even << 8) | odd);
    }

    std::vector<sim::ReceivedParameter> ParametersFrom(uint16_t first) const {
        std::vector<sim::ReceivedParameter> out;
        for (const auto& p : camera.Parameters()) {
            if (p.number >= first) {
                out.push_back(p);
            }
        }
        return out;
    }

    void ExpectFixedParameters() const {
        static const char* const kValues[48] = {
            "00", "00", "00", "00", "01", "48", "15", "14", "13", "21", "00", "15",
            "11", "60", "50", "15", "00", "00", "00", "00", "14", "95", "00", "16",
            "01", "26", "40", "14", "12", "14", "50", "15", "00", "00", "00", "00",
            "05", "45", "00", "16", "13", "98", "50", "15", "01", "34", "40", "14"};
        const auto fixed = ParametersFrom(202);
        ASSERT_EQ(fixed.size(), 48u);
        for (size_t k = 0; k < 48; ++k) {
            EXPECT_EQ(fixed[k].number, 202 + k);
            EXPECT_EQ(fixed[k].value, (kValues[k][0] << 8) | kValues[k][1]) << k;
        }
    }

    World world;
    sim::VirtualCamera& camera;
    CCameraLink link;
    std::vector<Report> reports;
};

TEST(TransferPercent, TruncatedConstantStopsJustShortOfTheQuarters) {
    EXPECT_EQ(TransferPercent(1), 0);
    EXPECT_EQ(TransferPercent(8), 1);
    EXPECT_EQ(TransferPercent(192), 24);
    EXPECT_EQ(TransferPercent(301), 39);
    EXPECT_EQ(TransferPercent(384), 49);
    EXPECT_EQ(TransferPercent(576), 74);
    EXPECT_EQ(TransferPercent(768), 99);
}

TEST_F(TransferTest, SuccessfulTransferDeliversEveryBlockChecksumAndParameterInOrder) {
    Connect();
    const auto image = PatternImage();
    EXPECT_EQ(link.DownloadFirmware(image, Recorder()), 0);
    EXPECT_EQ(link.GetResult(), 0);
    EXPECT_FALSE(link.IsPortOpen());

    ASSERT_EQ(camera.Banks().size(), 4u);
    for (uint16_t b = 0; b < 4; ++b) {
        EXPECT_EQ(camera.Banks()[b].bank, b);
    }
    ASSERT_EQ(camera.Blocks().size(), 768u);
    for (size_t i = 0; i < 768; ++i) {
        EXPECT_EQ(camera.Blocks()[i].index, i);
    }
    EXPECT_EQ(camera.Image(), image);

    const auto& params = camera.Parameters();
    ASSERT_EQ(params.size(), 52u);
    EXPECT_EQ(params[0].number, 79);
    EXPECT_EQ(params[0].value, WireChecksum(image, 0));
    EXPECT_EQ(params[1].number, 108);
    EXPECT_EQ(params[1].value, WireChecksum(image, 0));
    EXPECT_EQ(params[2].number, 109);
    EXPECT_EQ(params[2].value, WireChecksum(image, 1));
    EXPECT_EQ(params[3].number, 110);
    EXPECT_EQ(params[3].value, WireChecksum(image, 2));
    ExpectFixedParameters();

    ASSERT_EQ(reports.size(), 770u);
    EXPECT_EQ(reports.front().stage, 0);
    EXPECT_EQ(reports.front().value, 0);
    int32_t previous = 0;
    for (size_t i = 1; i <= 768; ++i) {
        EXPECT_EQ(reports[i].stage, 1);
        EXPECT_GE(reports[i].value, previous);
        previous = reports[i].value;
    }
    EXPECT_EQ(reports[192].value, 24);
    EXPECT_EQ(reports[768].value, 99);
    EXPECT_EQ(reports.back().stage, 2);
    EXPECT_EQ(reports.back().value, 100);
}

TEST_F(TransferTest, FailureAtBlock300StopsBlocksButStillWritesTheFixedParameters) {
    Connect();
    camera.Faults().failBlockIndex = 300;
    const auto image = PatternImage();
    EXPECT_EQ(link.DownloadFirmware(image, Recorder()), static_cast<int32_t>(kStatusRefused));
    EXPECT_EQ(link.GetResult(), kResultCommFailure);
    EXPECT_FALSE(link.IsPortOpen());

    EXPECT_EQ(camera.Blocks().size(), 300u);
    EXPECT_EQ(ParametersFrom(79).size(), ParametersFrom(202).size());  // no checksum parameters
    ExpectFixedParameters();
    ASSERT_GE(reports.size(), 3u);
    EXPECT_EQ(reports[reports.size() - 2].stage, 1);
    EXPECT_EQ(reports[reports.size() - 2].value, 39);
    EXPECT_EQ(reports.back().stage, 3);
    EXPECT_EQ(reports.back().value, 39);
}

TEST_F(TransferTest, CallbackStoppingAtStageZeroSendsNoBlockAndReportsNoEnd) {
    Connect();
    EXPECT_EQ(link.DownloadFirmware(PatternImage(), Recorder(0)),
              static_cast<int32_t>(kStatusCancelled));
    EXPECT_EQ(link.GetResult(), kResultCancelled);
    EXPECT_EQ(camera.Banks().size(), 4u);
    EXPECT_TRUE(camera.Blocks().empty());
    EXPECT_TRUE(camera.Parameters().empty());
    ASSERT_EQ(reports.size(), 1u);
    EXPECT_FALSE(link.IsPortOpen());
}

TEST_F(TransferTest, CallbackRefusingStageTwoTurnsACompleteTransferIntoAStoppedOne) {
    Connect();
    EXPECT_EQ(link.DownloadFirmware(PatternImage(), Recorder(2)),
              static_cast<int32_t>(kStatusCancelled));
    EXPECT_EQ(link.GetResult(), kResultCancelled);
    EXPECT_EQ(camera.Blocks().size(), 768u);
    EXPECT_EQ(camera.Parameters().size(), 52u);
}

TEST_F(TransferTest, NullCallbackRunsToTheEnd) {
    Connect();
    EXPECT_EQ(link.DownloadFirmware(PatternImage(), nullptr), 0);
    EXPECT_EQ(camera.Blocks().size(), 768u);
}

TEST_F(TransferTest, BlockRefusedFourTimesIsAcceptedOnTheFifthSending) {
    Connect();
    camera.Faults().refuseDataPackets = 4;
    const auto image = PatternImage();
    EXPECT_EQ(link.DownloadFirmware(image, nullptr), 0);
    EXPECT_EQ(camera.Image(), image);
}

TEST_F(TransferTest, IndicesAndParameterNumbersGoOutHighByteFirst) {
    Connect();
    EXPECT_EQ(link.DownloadFirmware(PatternImage(), nullptr), 0);
    bool sawBlock256 = false;
    bool sawParameter202 = false;
    for (const auto& c : camera.Commands()) {
        if (c.packet[0] == 0x1D && c.packet[2] == 0x01 && c.packet[3] == 0x00) {
            sawBlock256 = true;
        }
        if (c.packet[0] == 0x21 && c.packet[2] == 0x00 && c.packet[3] == 0xCA) {
            sawParameter202 = true;
            EXPECT_EQ(c.packet[4], '0');
            EXPECT_EQ(c.packet[5], '0');
        }
        EXPECT_EQ(c.packet[6], 0);
        EXPECT_EQ(c.packet[7], 0x1A);
    }
    EXPECT_TRUE(sawBlock256);
    EXPECT_TRUE(sawParameter202);
}

TEST_F(TransferTest, ChecksumOfEqualBytesIsZeroAndASingleByteLandsOnItsParity) {
    Connect();
    std::vector<uint8_t> image(kFirmwareImageBytes, 0);
    std::fill(image.begin(), image.begin() + 65536, 0xA7);  // bank 0: all equal
    image[65536 + 1001] = 0x5A;                             // bank 1: odd offset
    image[2 * 65536 + 2000] = 0x5A;                         // bank 2: even offset
    EXPECT_EQ(link.DownloadFirmware(image, nullptr), 0);
    const auto& params = camera.Parameters();
    ASSERT_GE(params.size(), 4u);
    EXPECT_EQ(params[0].value, 0x0000);
    EXPECT_EQ(params[2].value, 0x005A);
    EXPECT_EQ(params[3].value, 0x5A00);
}

TEST_F(TransferTest, ShortImageIsRefusedBeforeAnythingIsSent) {
    Connect();
    const size_t before = camera.Commands().size();
    std::vector<uint8_t> image(kFirmwareImageBytes - 1, 0);
    EXPECT_EQ(link.DownloadFirmware(image, Recorder()), static_cast<int32_t>(kStatusBadArgument));
    EXPECT_EQ(link.GetResult(), kResultBadArgument);
    EXPECT_EQ(camera.Commands().size(), before);
    EXPECT_TRUE(reports.empty());
    EXPECT_FALSE(link.IsPortOpen());
}

}  // namespace

// The camera operations of slots 9 to 22 and the exchanges under them, against the virtual
// camera in virtual time.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>

#include "camera/time_zone.hpp"
#include "camera_bench.hpp"

namespace camtest {
namespace {

constexpr int kStatus = 0x7F;
constexpr int kSpeed = 0x41;

class CameraCommands : public ::testing::Test {
  protected:
    void SetUp() override {
        bench.OpenPort();
        // The line is already where the link wants it: 9,600 bit/s.
        link.m_preferredSpeed = 96;
        link.m_linkSpeed = 96;
    }
    // Brings camera and port to a speed code and makes it the preferred one.
    void SettleAt(int speedCode) {
        link.m_status = 0;
        link.SpeedChange(speedCode);
        ASSERT_EQ(link.m_status, kStatusOk);
        link.m_preferredSpeed = speedCode;
        commandsBefore = camera.Commands().size();
    }
    std::vector<int> NewOpcodes() const {
        std::vector<int> all = bench.Opcodes();
        return {all.begin() + static_cast<std::ptrdiff_t>(commandsBefore), all.end()};
    }

    ScopedTimeZone m_utc{"UTC"};
    Bench bench;
    TestLink& link = bench.link;
    sim::VirtualCamera& camera = bench.camera;
    size_t commandsBefore = 0;
};

// ---------------------------------------------------------------------------------------------
// The exchanges as the camera runs them.

TEST_F(CameraCommands, StatusRequestReadsTheWholeBlock) {
    camera.State().versionMajor = 12;
    camera.State().versionMinor = 34;
    camera.State().clock = 123456;
    link.StatusRequest();
    link.Decode();
    ASSERT_EQ(link.m_status, kStatusOk);
    const auto sent = camera.BuildStatusBlock();
    EXPECT_TRUE(std::equal(sent.begin(), sent.end(), link.m_statusBlock.begin()));
    EXPECT_EQ(link.DecodedStatus().versionDigits, 0x01020304u);
    EXPECT_EQ(link.DecodedStatus().clock, 123456u);
    EXPECT_EQ(bench.CountLog("rx 0xD2"), 1);
}

TEST_F(CameraCommands, WrongXorThenGoodPacketIsAcceptedOnce) {
    camera.Faults().badXorOnPacket = 1;
    camera.Faults().badXorCount = 1;
    link.StatusRequest();
    EXPECT_EQ(link.m_status, kStatusOk) << bench.Log();
    EXPECT_EQ(bench.CountLog("rx 0xD2"), 1);
    EXPECT_EQ(bench.CountLog("rx 0xE3"), 0);
    EXPECT_EQ(bench.CountLog("wrong on purpose"), 1);
}

TEST_F(CameraCommands, CommandAnswersGiveTheirStatus) {
    camera.Faults().refuseOpcode = kStatus;
    link.StatusRequest();
    EXPECT_EQ(link.m_status, kStatusRefused);
    EXPECT_EQ(camera.Commands().size(), 1u);  // refused: sent once, although three tries are set

    link.m_status = 0;
    camera.Faults().refuseOpcode = -2;
    camera.Faults().answer10Opcode = kStatus;
    link.StatusRequest();
    EXPECT_EQ(link.m_status, kStatusInsteadOfAck);
    EXPECT_EQ(camera.Commands().size(), 2u);
}

TEST_F(CameraCommands, E2InPlaceOfThePacketEndsThePayloadAtOnce) {
    camera.Faults().e2InsteadOfPacketOpcode = kStatus;
    const uint64_t start = bench.clock.NowUs();
    link.StatusRequest();
    EXPECT_EQ(link.m_status, kStatusCameraFailed);
    EXPECT_LT((bench.clock.NowUs() - start) / 1000, 500u);  // not the 2,000 ms packet wait
    DelayMs(50);
    EXPECT_EQ(bench.CountLog("rx 0xE3"), 0);
}

TEST_F(CameraCommands, CompletionFaults) {
    camera.Faults().completionByteOpcode = kStatus;
    link.StatusRequest();
    EXPECT_EQ(link.m_status, kStatusCameraFailed);

    link.m_status = 0;
    camera.Faults().completionByteOpcode = -2;
    camera.Faults().noCompletionOpcode = kStatus;
    link.StatusRequest();
    EXPECT_EQ(link.m_status, kStatusTimeout);
}

TEST_F(CameraCommands, RefusedDataPacketsToTheCameraAreSentAgain) {
    CameraIdText id{};
    std::copy_n("ID-0001", 7, id.begin());
    CameraClockId record;
    record.text = &id;

    camera.Faults().refuseDataPackets = 4;
    EXPECT_EQ(link.SetClockId(&record), kStatusOk);
    EXPECT_EQ(link.GetResult(), kResultOk);
    EXPECT_EQ(bench.CountLog("tx 0xE3"), 4);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(camera.State().cameraId.data()), 7),
              "ID-0001");

    camera.Faults().refuseDataPackets = 5;
    EXPECT_EQ(link.SetClockId(&record), kStatusRefused);
    EXPECT_EQ(link.GetResult(), kResultCommFailure);
}

// ---------------------------------------------------------------------------------------------
// Reading the camera's information, clock and ID.

TEST_F(CameraCommands, ReadInfoAtThePreferredSpeedMakesTwoStatusRequests) {
    camera.State().store0.pictures = 2;
    camera.State().store1Present = true;
    camera.State().store1.pictures = 3;
    camera.State().modeIndex = 1;
    camera.State().store0.figures = {10, 11, 12, 13};
    camera.State().store1.figures = {20, 21, 22, 23};
    CameraInfo info;
    EXPECT_EQ(link.ReadInfo(&info), kStatusOk);
    EXPECT_EQ(link.GetResult(), kResultOk);
    EXPECT_EQ(bench.Opcodes(), (std::vector<int>{kStatus, kStatus}));
    EXPECT_EQ(info.versionDigits, 0x00010005u);
    EXPECT_EQ(info.totalPictures, 5);
    EXPECT_EQ(info.totalFigure, 32);
    EXPECT_EQ(info.store1Pictures, 3);
    EXPECT_EQ(info.fixed1280, 1280);
    EXPECT_EQ(info.clock.year, 94);
    EXPECT_EQ(link.m_commandTries, 3);
}

TEST_F(CameraCommands, ReadInfoWithoutRecordOnlyExchanges) {
    EXPECT_EQ(link.ReadInfo(nullptr), kStatusOk);
    EXPECT_EQ(link.GetResult(), kResultOk);
    EXPECT_EQ(bench.Opcodes().size(), 2u);
}

TEST_F(CameraCommands, ReadClockIdCopiesTimeAndTheWholeId) {
    for (size_t i = 0; i < 32; ++i) {
        camera.State().cameraId[i] = static_cast<uint8_t>('A' + i % 26);
    }
    camera.State().clock = 2 * 86400 + 7;  // one day and 3.5 s
    CameraIdText id;
    id.fill('#');
    CameraClockId record;
    record.text = &id;
    EXPECT_EQ(link.ReadClockId(&record), kStatusOk);
    EXPECT_EQ(record.time.dayOfMonth, 2);
    EXPECT_EQ(record.time.second, 3);
    EXPECT_EQ(std::string(id.data()), "ABCDEFGHIJKLMNOPQRSTUVWXYZABCDEF");

    CameraClockId noText;
    EXPECT_EQ(link.ReadClockId(&noText), kStatusOk);
    EXPECT_EQ(noText.time.dayOfMonth, 2);
    EXPECT_EQ(link.ReadClockId(nullptr), kStatusOk);
    EXPECT_EQ(bench.Opcodes().size(), 6u);
}

// ---------------------------------------------------------------------------------------------
// Setting the clock and ID.

TEST_F(CameraCommands, SetClockIdSendsTheClockThenTheId) {
    CameraIdText id{};
    std::copy_n("CAMERA-ID", 9, id.begin());
    CameraClockId record;
    record.time.year = 94;
    record.time.dayOfMonth = 1;
    record.time.second = 1;
    record.text = &id;
    EXPECT_EQ(link.SetClockId(&record), kStatusOk);
    EXPECT_EQ(bench.Opcodes(), (std::vector<int>{kStatus, 0x75, 0x9E}));
    const auto& clockPacket = camera.Commands()[1].packet;
    EXPECT_EQ((std::array<uint8_t, 5>{clockPacket[1], clockPacket[2], clockPacket[3],
                                      clockPacket[4], clockPacket[5]}),
              (std::array<uint8_t, 5>{0, 0, 0, 0, 2}));
    EXPECT_EQ(camera.State().clock, 2u);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(camera.State().cameraId.data()), 10),
              std::string("CAMERA-ID\0", 10));
    EXPECT_EQ(bench.CountLog("rx data frame (60 bytes, control 0x80, XOR good)"), 1);
}

TEST_F(CameraCommands, SetClockIdStopsAtTheFailedCommand) {
    CameraIdText id{};
    CameraClockId record;
    record.text = &id;
    camera.Faults().refuseOpcode = 0x75;
    EXPECT_EQ(link.SetClockId(&record), kStatusRefused);
    EXPECT_EQ(link.GetResult(), kResultCommFailure);
    EXPECT_EQ(bench.Opcodes(), (std::vector<int>{kStatus, 0x75}));
}

TEST_F(CameraCommands, SetClockIdWithoutRecordRunsTheLinkCheckOnly) {
    EXPECT_EQ(link.SetClockId(nullptr), kStatusOk);
    EXPECT_EQ(bench.Opcodes(), (std::vector<int>{kStatus}));
}

TEST_F(CameraCommands, SetClockIdWithoutTextIsRefusedBeforeAnyExchange) {
    CameraClockId record;
    EXPECT_EQ(link.SetClockId(&record), kStatusBadArgument);
    EXPECT_EQ(link.GetResult(), kResultBadArgument);
    EXPECT_TRUE(camera.Commands().empty());
}

// ---------------------------------------------------------------------------------------------
// Speeds.

TEST_F(CameraCommands, SetSpeedAndTheNextLinkCheckReturnsToThePreferredSpeed) {
    SettleAt(384);
    EXPECT_EQ(bench.line.HostBaudRate(), 38400u);

    EXPECT_EQ(link.SetSpeed(1152), kStatusOk);
    EXPECT_EQ(bench.line.HostBaudRate(), 115200u);
    EXPECT_EQ(bench.CameraBaud(), 115200u);
    EXPECT_EQ(link.m_preferredSpeed, 384);
    EXPECT_EQ(link.m_linkSpeed, 1152);

    const size_t before = camera.Commands().size();
    EXPECT_EQ(link.ReadInfo(nullptr), kStatusOk);
    EXPECT_EQ(bench.line.HostBaudRate(), 38400u);
    EXPECT_EQ(bench.CameraBaud(), 38400u);
    EXPECT_EQ(link.m_linkSpeed, 384);

    const auto& c = camera.Commands();
    ASSERT_EQ(c.size(), before + 4);
    EXPECT_EQ(c[before].packet[0], kStatus);  // probe at 115,200
    EXPECT_EQ(c[before + 1].packet[0], kSpeed);
    EXPECT_EQ(c[before + 1].packet[2], 0x38);
    EXPECT_EQ(c[before + 1].packet[3], 0x40);
    EXPECT_EQ(c[before + 2].packet[0], kStatus);  // confirms the change
    EXPECT_GE(c[before + 2].atUs - c[before + 1].atUs, 400'000u);
    EXPECT_EQ(c[before + 3].packet[0], kStatus);  // ReadInfo's own
}

TEST_F(CameraCommands, SetSpeedWithACodeOutsideTheTableSendsNothing) {
    EXPECT_EQ(link.SetSpeed(500), kStatusBadArgument);
    EXPECT_EQ(link.GetResult(), kResultBadArgument);
    EXPECT_TRUE(camera.Commands().empty());
    // The failure leaves nothing behind for the next operation.
    EXPECT_EQ(link.ReadInfo(nullptr), kStatusOk);
    EXPECT_EQ(link.GetResult(), kResultOk);
}

TEST_F(CameraCommands, SpeedCommandDigitsDifferFromThePortRates) {
    const struct {
        int code;
        uint8_t high;
        uint8_t low;
        uint32_t cameraBaud;
    } table[] = {{96, 0x96, 0x00, 9600},   {192, 0x19, 0x20, 19200},   {384, 0x38, 0x40, 38400},
                 {576, 0x57, 0x60, 57600}, {1152, 0x11, 0x52, 115200}, {2304, 0x23, 0x04, 230400}};
    for (const auto& row : table) {
        uint8_t high = 0;
        uint8_t low = 0;
        ASSERT_TRUE(SpeedDigitsForCode(row.code, &high, &low));
        EXPECT_EQ(high, row.high);
        EXPECT_EQ(low, row.low);

        EXPECT_EQ(link.SpeedCommandStatus(row.code), kStatusOk) << row.code;
        DelayMs(5);
        EXPECT_EQ(bench.CameraBaud(), row.cameraBaud);
        bench.PlaceCameraAt(9600);  // the port stayed at 9,600
    }
    uint8_t high = 0;
    uint8_t low = 0;
    EXPECT_FALSE(SpeedDigitsForCode(500, &high, &low));
    const size_t sent = camera.Commands().size();
    EXPECT_EQ(link.SpeedCommandStatus(500), kStatusBadArgument);
    EXPECT_EQ(camera.Commands().size(), sent);
}

TEST_F(CameraCommands, UnacknowledgedSpeedCommandGives13) {
    camera.Faults().refuseOpcode = kSpeed;
    EXPECT_EQ(link.SpeedCommandStatus(384), kStatusWrongState);
    camera.Faults().refuseOpcode = -2;
    camera.Faults().unplugged = true;
    EXPECT_EQ(link.SpeedCommandStatus(384), kStatusWrongState);
}

TEST_F(CameraCommands, NextLowerSpeedCodes) {
    const std::pair<int, int> table[] = {{2304, 1152}, {1152, 576}, {576, 384}, {384, 192},
                                         {192, 96},    {96, 0},     {500, 384}, {3000, 2304},
                                         {50, 0},      {0, 0}};
    for (const auto& [code, lower] : table) {
        EXPECT_EQ(NextLowerSpeedCode(code), lower) << code;
    }
}

// ---------------------------------------------------------------------------------------------
// Close and the slots without exchanges.

TEST_F(CameraCommands, CloseReturnsCameraAndPortTo9600) {
    SettleAt(384);
    EXPECT_EQ(link.Close(), kStatusOk);
    EXPECT_EQ(link.GetResult(), kResultOk);
    EXPECT_EQ(NewOpcodes(), (std::vector<int>{kSpeed}));
    EXPECT_EQ(bench.CameraBaud(), 9600u);
    EXPECT_FALSE(bench.line.HostEndOpen());
    EXPECT_EQ(link.m_portSpeed, 96);
}

TEST_F(CameraCommands, CloseReportsSuccessWhenTheCameraDoesNotAnswer) {
    SettleAt(384);
    camera.Faults().unplugged = true;
    EXPECT_EQ(link.Close(), kStatusOk);
    EXPECT_EQ(link.GetResult(), kResultOk);
    EXPECT_FALSE(bench.line.HostEndOpen());
    EXPECT_EQ(link.Close(), kStatusOk);  // closing a closed link is harmless
}

TEST_F(CameraCommands, CheckLinkSlotsRunTheLinkCheckOnly) {
    EXPECT_EQ(link.CheckLink(0), kStatusOk);
    EXPECT_EQ(link.CheckLink19(0), kStatusOk);
    EXPECT_EQ(link.CheckLink20(0), kStatusOk);
    EXPECT_EQ(bench.Opcodes(), (std::vector<int>{kStatus, kStatus, kStatus}));
    EXPECT_EQ(link.GetResult(), kResultOk);
}

TEST_F(CameraCommands, ReservedSlotsTouchNothing) {
    CCameraDevice& device = link;
    EXPECT_EQ(device.Reserved16(), -1);
    EXPECT_EQ(device.Reserved21(), 0);
    device.Reserved17(1);
    device.Reserved18(1);
    device.Reserved22();
    EXPECT_TRUE(camera.Commands().empty());
    EXPECT_EQ(link.GetResult(), kResultOk);
}

// ---------------------------------------------------------------------------------------------
// Open.

class CameraOpen : public ::testing::Test {
  protected:
    Bench bench;
    TestLink& link = bench.link;
    sim::VirtualCamera& camera = bench.camera;
};

TEST_F(CameraOpen, FindsTheCameraAndMakesTheSpeedPreferred) {
    EXPECT_EQ(link.Open(384, 1), kStatusOk);
    EXPECT_EQ(link.GetResult(), kResultOk);
    EXPECT_EQ(link.m_preferredSpeed, 384);
    EXPECT_EQ(link.m_linkSpeed, 384);
    EXPECT_EQ(bench.line.HostBaudRate(), 38400u);
    EXPECT_EQ(bench.CameraBaud(), 38400u);
    EXPECT_EQ(camera.Breaks(), 1);
    EXPECT_EQ(bench.Opcodes(), (std::vector<int>{kStatus, kSpeed, kStatus, kSpeed, kStatus}));
    // The link works afterwards.
    EXPECT_EQ(link.ReadInfo(nullptr), kStatusOk);
}

TEST_F(CameraOpen, CodeOutsideTheTableFindsALowerSpeedThenFails) {
    EXPECT_EQ(link.Open(500, 1), kStatusBadArgument);
    EXPECT_EQ(link.GetResult(), kResultBadArgument);
    EXPECT_FALSE(bench.line.HostEndOpen());
    // The search started at 384, the highest code below 500, and found the camera there.
    EXPECT_EQ(bench.Opcodes(), (std::vector<int>{kStatus, kSpeed, kStatus}));
    EXPECT_EQ(camera.Commands()[1].packet[2], 0x38);
    EXPECT_EQ(link.m_linkSpeed, 384);
}

TEST_F(CameraOpen, AbsentPortFailsWithoutContact) {
    EXPECT_EQ(link.Open(384, 2), kStatusPortFailed);
    EXPECT_EQ(link.GetResult(), kResultCommFailure);
    EXPECT_EQ(bench.ports.OpenCount(2), 0);
}

TEST_F(CameraOpen, SilentCameraFailsAfterThreeContactAttemptsAndClosesThePort) {
    camera.Faults().unplugged = true;
    EXPECT_EQ(link.Open(384, 1), kStatusPortFailed);
    EXPECT_EQ(link.GetResult(), kResultCommFailure);
    EXPECT_FALSE(bench.line.HostEndOpen());
    // Each attempt: 1,000 + 300 + 2,000 + 1,000 ms, then a status request that gets no answer
    // (one sending per try: three tries of 3,000 ms).
    EXPECT_GE(bench.clock.NowUs() / 1000, 3u * (4300u + 3u * 3001u));
    EXPECT_EQ(link.m_preferredSpeed, 2304);
}

TEST_F(CameraOpen, CameraInTheWrongStateIsNotUsed) {
    camera.State().stateByte = 3;
    EXPECT_EQ(link.Open(384, 1), kStatusWrongState);
    EXPECT_EQ(link.GetResult(), kResultWrongState);
    EXPECT_FALSE(bench.line.HostEndOpen());
    EXPECT_EQ(bench.Opcodes(), (std::vector<int>{kStatus}));
}

TEST_F(CameraOpen, EveryTableSpeedThePortAndCameraShare) {
    // 2304 is left out: the port's rate for it is not the camera's.
    for (const auto& [code, baud] : {std::pair<int, uint32_t>{96, 9600},
                                     {192, 19200},
                                     {384, 38400},
                                     {576, 57600},
                                     {1152, 115200}}) {
        Bench b;
        EXPECT_EQ(b.link.Open(code, 1), kStatusOk) << code;
        EXPECT_EQ(b.link.m_preferredSpeed, code);
        EXPECT_EQ(b.CameraBaud(), baud);
        EXPECT_EQ(b.link.ReadInfo(nullptr), kStatusOk) << code;
        EXPECT_EQ(b.link.Close(), kStatusOk);
        EXPECT_EQ(b.CameraBaud(), 9600u) << code;
    }
}

}  // namespace
}  // namespace camtest

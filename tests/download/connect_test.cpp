// Connection: port search, greeting, switch into download mode, transfer speed.
#include <gtest/gtest.h>

#include <cstring>

#include "world.hpp"

namespace {

using sim::CameraMode;

constexpr int kUntouched = 12345;

struct ConnectRun {
    CameraInfo info;
    CameraIdText idText;
    CameraClockId clockId;
    int32_t flag = kUntouched;
    int32_t status = -1;
    int16_t result = 1;

    ConnectRun() {
        info.totalPictures = 777;
        idText.fill('#');
        clockId.text = &idText;
        clockId.time.year = 777;
    }
    void Run(CCameraLink& link, int port) {
        status = link.Connect(port, kTransferSpeedCode, &info, &clockId, &flag);
        result = link.GetResult();
    }
    bool RecordsUntouched() const {
        return info.totalPictures == 777 && clockId.time.year == 777 && idText[0] == '#';
    }
};

TEST(Connect, ExplicitPortWithCameraInDownloadModeGreetsOnceAndLeavesRecordsAlone) {
    World world;
    auto& camera = world.AddCamera(1, CameraMode::Download);
    CCameraLink link(world.ports);
    ConnectRun run;
    run.Run(link, 1);

    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.result, 0);
    EXPECT_EQ(run.flag, 1);
    EXPECT_TRUE(run.RecordsUntouched());
    EXPECT_EQ(camera.Greetings(), 1);
    EXPECT_EQ(world.Line(1).HostBaudRate(), 38400u);
    EXPECT_TRUE(link.IsPortOpen());
    link.ClosePort();
}

TEST(Connect, AutoFindsDownloadModeCameraOnCom2WhenCom1IsAbsent) {
    World world;
    auto& camera = world.AddCamera(2, CameraMode::Download);
    CCameraLink link(world.ports);
    ConnectRun run;
    run.Run(link, 0);

    EXPECT_EQ(run.result, 0);
    EXPECT_EQ(run.flag, 1);
    EXPECT_TRUE(run.RecordsUntouched());
    EXPECT_EQ(camera.Greetings(), 1);  // the search's greeting counts; no second one
    EXPECT_EQ(world.ports.OpenCount(1), 0);
    EXPECT_EQ(world.ports.OpenCount(2), 1);
    EXPECT_EQ(world.ports.OpenCount(3), 0);
    link.ClosePort();
}

TEST(Connect, AutoGivesUpOnSilentCom1AfterTwoAttemptsAndClosesIt) {
    World world;
    auto& silent = world.AddCamera(1, CameraMode::Normal);
    silent.Faults().unplugged = true;
    auto& camera = world.AddCamera(2, CameraMode::Download);
    CCameraLink link(world.ports);
    ConnectRun run;
    run.Run(link, 0);

    EXPECT_EQ(run.result, 0);
    EXPECT_EQ(run.flag, 1);
    EXPECT_FALSE(world.Line(1).HostEndOpen());
    EXPECT_EQ(world.ports.OpenCount(1), 1);
    EXPECT_EQ(camera.Greetings(), 1);
    link.ClosePort();
}

TEST(Connect, AutoWithNormalModeCameraOnCom1SwitchesItAndFillsBothRecords) {
    World world;
    auto& camera = world.AddCamera(1, CameraMode::Normal);
    camera.State().versionMajor = 1;
    camera.State().versionMinor = 3;
    camera.State().store0.pictures = 0;
    const char id[] = "TK358-0042";
    std::memcpy(camera.State().cameraId.data(), id, sizeof id - 1);
    CCameraLink link(world.ports);
    ConnectRun run;
    run.Run(link, 0);

    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.result, 0);
    EXPECT_EQ(run.flag, 0);
    EXPECT_EQ(run.info.versionDigits, 0x00010003u);
    EXPECT_EQ(run.info.totalPictures, 0);
    EXPECT_STREQ(run.idText.data(), id);
    EXPECT_EQ(camera.State().mode, CameraMode::Download);
    EXPECT_EQ(world.Line(1).HostBaudRate(), 38400u);
    // The greeting waited for the loader to start, and its answer was taken with 0xD1.
    EXPECT_TRUE(camera.ProtocolErrors().empty());
    link.ClosePort();
}

TEST(Connect, ShortGreetingAnswerTimesOutAndAWrongByteIsRefused) {
    const struct {
        int shortBy;
        int wrongByte;
        uint32_t status;
    } cases[] = {{1, -1, kStatusTimeout}, {0, 5, kStatusRefused}, {0, 11, kStatusRefused}};
    for (const auto& c : cases) {
        World world;
        auto& camera = world.AddCamera(1, CameraMode::Download);
        camera.Faults().greetingShortBy = c.shortBy;
        camera.Faults().greetingWrongByte = c.wrongByte;
        CCameraLink link(world.ports);
        ConnectRun run;
        run.Run(link, 1);
        EXPECT_EQ(run.status, c.status) << c.shortBy << " " << c.wrongByte;
        EXPECT_EQ(run.result, kResultCommFailure);
        EXPECT_EQ(run.flag, 0);  // the switch was tried
        link.ClosePort();
    }
}

TEST(Connect, PortValueOutsideTheTableOpensNothingAndFailsWithPortError) {
    World world;
    world.AddCamera(1, CameraMode::Download);
    CCameraLink link(world.ports);
    ConnectRun run;
    run.Run(link, 5);

    EXPECT_EQ(run.status, kStatusPortFailed);
    EXPECT_EQ(run.result, kResultCommFailure);
    EXPECT_EQ(run.flag, 0);
    EXPECT_EQ(world.ports.OpenCount(1), 0);
    EXPECT_FALSE(link.IsPortOpen());
}

TEST(Connect, RefusedFinalSpeedChangeFailsAfterTheFlagWasWritten) {
    World world;
    auto& camera = world.AddCamera(1, CameraMode::Download);
    camera.Faults().refuseOpcode = 0x41;
    CCameraLink link(world.ports);
    ConnectRun run;
    run.Run(link, 1);

    EXPECT_EQ(run.status, kStatusWrongState);
    EXPECT_EQ(run.result, kResultWrongState);
    EXPECT_EQ(run.flag, 1);
    EXPECT_TRUE(link.IsPortOpen());  // Connect leaves the port to its owner
    link.ClosePort();
}

}  // namespace

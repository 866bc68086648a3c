// Stop signals during an update (POSIX): held during the connection, acknowledged and then
// stopping after the current block during the transfer, and ending the run at once elsewhere
// with the port put back as found.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <stdlib.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "app/workflow_fixture.hpp"

namespace {

using Kind = UiEvent::Kind;
using Outcome = CFirmwareUpdater::Outcome;

class StopSignals : public apptest::UpdateWorkflow {
  protected:
    // Runs an update of a good file with `signalNumber` raised in the middle of the block that
    // follows each of the given block reports; returns what was written to standard error.
    std::string UpdateWithSignalsAfterBlocks(std::vector<int> blocks, int signalNumber) {
        ChoosePort(1);
        ChooseFile(GoodFile());
        ui.dialogAnswers.push_back(kDialogOk);
        int reported = 0;
        ui.onEvent = [&, this](const UiEvent& e) {
            if (e.kind == Kind::Progress && e.stage == 1 &&
                std::count(blocks.begin(), blocks.end(), ++reported) != 0) {
                world.clock.After(120'000, [signalNumber] { ::raise(signalNumber); });
            }
        };
        ::testing::internal::CaptureStderr();
        outcome = updater.RunUpdate();
        return ::testing::internal::GetCapturedStderr();
    }
};

const std::string kTransferNotice =
    "\nthe update is being finished; interrupting now leaves the camera without firmware - press "
    "Ctrl-C again to stop after the current block\n";

TEST_F(StopSignals, OneStopSignalDuringTheTransferIsAcknowledgedAndTheUpdateFinishes) {
    EXPECT_EQ(UpdateWithSignalsAfterBlocks({100}, SIGTERM), kTransferNotice);
    EXPECT_EQ(outcome, Outcome::Installed);
    EXPECT_EQ(world.camera.Blocks().size(), 768u);
    EXPECT_EQ(Dialogs(), std::vector<int>{kDialogSuccess});
}

TEST_F(StopSignals, SecondStopSignalStopsTheTransferAfterTheCurrentBlock) {
    EXPECT_EQ(UpdateWithSignalsAfterBlocks({100, 300}, SIGINT),
              kTransferNotice + "\nthe update stops after the current block\n");
    EXPECT_EQ(outcome, Outcome::Failed);
    // Block 300 was under way: it is finished, then the transfer ends as its own stop does.
    EXPECT_EQ(world.camera.Blocks().size(), 301u);
    std::vector<int> parameters;
    for (const auto& p : world.camera.Parameters()) {
        parameters.push_back(p.number);
    }
    ASSERT_EQ(parameters.size(), 48u);  // the fixed parameters, no checksums
    EXPECT_EQ(parameters.front(), 202);
    EXPECT_EQ(ui.EventsOf(Kind::Progress).back().stage, 3u);
    EXPECT_EQ(Messages(), std::vector<std::string>{LoadString(kStrUpdateFailed)});
    ExpectLinkReleased();
}

// A stop signal during Connect waits for the camera's last answer, then ends the run by that
// signal with the port released, before anything more is asked.
TEST_F(StopSignals, StopSignalDuringConnectEndsTheRunOnceConnectHasReturned) {
    ChoosePort(1);
    ui.onEvent = [this](const UiEvent& e) {
        if (e.kind == Kind::WaitCursorOn) {
            world.clock.After(300'000, [] { ::raise(SIGINT); });
        } else if (e.kind == Kind::WaitCursorOff) {
            std::fprintf(stderr, "connected at %u, port %s\n", world.line.HostBaudRate(),
                         world.line.HostEndOpen() ? "open" : "closed");
        } else if (e.kind == Kind::ChooseFile || e.kind == Kind::Message) {
            ::_exit(3);
        }
    };
    EXPECT_EXIT(updater.RunUpdate(), ::testing::KilledBySignal(SIGINT),
                "the connection to the camera is being finished; the tool ends after it\n"
                "connected at 38400, port open");
}

// Outside Connect and the transfer a stop signal ends the process at once, and the port it held
// is found as it was before.
TEST(RunSignals, StopSignalOutsideTheExchangesEndsAtOnceAndPutsThePortBack) {
    const int master = ::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
    ASSERT_GE(master, 0);
    ASSERT_EQ(::grantpt(master), 0);
    ASSERT_EQ(::unlockpt(master), 0);
    const std::string device = ::ptsname(master);
    PortMap map;
    map.com[0].device = device;
    CPosixPortSystem ports(map);
    termios found{};
    ASSERT_EQ(::tcgetattr(master, &found), 0);

    EXPECT_EXIT(
        {
            const CRunSignals signals;
            CSerialPort port(ports);
            if (port.OpenPort(1) == kStatusOk && port.SetPortSpeed(1152) == kStatusOk) {
                ::raise(SIGTERM);
            }
            ::_exit(3);
        },
        ::testing::KilledBySignal(SIGTERM), "");
    termios now{};  // (the serial tests check the rest of what is put back)
    ASSERT_EQ(::tcgetattr(master, &now), 0);
    EXPECT_EQ(now.c_lflag, found.c_lflag);
    EXPECT_EQ(now.c_cflag, found.c_cflag);
    ::close(master);
}

}  // namespace

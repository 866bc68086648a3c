// Stop signals during an update (POSIX): held during the connection, acknowledged and then
// stopping after the current block during the transfer, and ending the run at once elsewhere
// with the port put back as found.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/resource.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <thread>
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
            } else if (e.kind == Kind::TextDialog || e.kind == Kind::Message) {
                resultUnasked = ResultShownWithoutWaiting();
            }
        };
        ::testing::internal::CaptureStderr();
        outcome = updater.RunUpdate();
        EXPECT_FALSE(ResultShownWithoutWaiting());  // over with the run
        return ::testing::internal::GetCapturedStderr();
    }

    // The result was shown without waiting for an answer.
    bool resultUnasked = false;
};

const std::string kTransferNotice =
    "\nthe update is being finished; interrupting now leaves the camera without firmware - ";
const std::string kNoticeEnd = " to stop after the current block\n";

// One stop request is acknowledged; the update finishes and its result is shown without waiting
// for an answer: the run ends with the result.
TEST_F(StopSignals, OneStopSignalDuringTheTransferIsAcknowledgedAndTheUpdateFinishes) {
    EXPECT_EQ(UpdateWithSignalsAfterBlocks({100}, SIGTERM),
              kTransferNotice + "send SIGTERM again" + kNoticeEnd);
    EXPECT_EQ(outcome, Outcome::Installed);
    EXPECT_EQ(world.camera.Blocks().size(), 768u);
    EXPECT_EQ(Dialogs(), std::vector<int>{kDialogSuccess});
    EXPECT_TRUE(resultUnasked);
}

TEST_F(StopSignals, SecondStopSignalStopsTheTransferAfterTheCurrentBlock) {
    EXPECT_EQ(UpdateWithSignalsAfterBlocks({100, 300}, SIGINT),
              kTransferNotice + "press Ctrl-C again" + kNoticeEnd +
                  "\nthe update stops after the current block\n");
    EXPECT_EQ(outcome, Outcome::Failed);
    EXPECT_TRUE(resultUnasked);
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

// While the transfer's result is shown, a stop request ends the tool with the result's status.
TEST_F(StopSignals, StopSignalWhileTheResultIsShownEndsWithTheResultsStatus) {
    for (const bool fails : {false, true}) {
        world.camera.Faults().failBlockIndex = fails ? 100 : -1;
        ChoosePort(1);
        ChooseFile(GoodFile());
        ui.onEvent = [](const UiEvent& e) {
            if (e.kind == Kind::TextDialog || e.kind == Kind::Message) {
                ::raise(SIGINT);
            }
        };
        EXPECT_EXIT(updater.RunUpdate(), ::testing::ExitedWithCode(fails ? 1 : 0), "") << fails;
    }
}

// Outside Connect and the transfer a stop signal ends the process at once, and the port it held
// is found as it was before. SIGQUIT does the same and keeps its own meaning. A signal started as
// ignored stays ignored.
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

    for (const int signalNumber : {SIGTERM, SIGQUIT}) {
        EXPECT_EXIT(
            {
                rlimit noCore{};  // SIGQUIT's core dump is not wanted here
                ::setrlimit(RLIMIT_CORE, &noCore);
                ::signal(SIGINT, SIG_IGN);  // as in a background job
                const CRunSignals signals;
                CSerialPort port(ports);
                if (port.OpenPort(1) == kStatusOk && port.SetPortSpeed(1152) == kStatusOk) {
                    ::raise(SIGINT);
                    ::raise(signalNumber);
                }
                ::_exit(3);
            },
            ::testing::KilledBySignal(signalNumber), "");
        termios now{};  // (the serial tests check the rest of what is put back)
        ASSERT_EQ(::tcgetattr(master, &now), 0);
        EXPECT_EQ(now.c_lflag, found.c_lflag) << signalNumber;
        EXPECT_EQ(now.c_cflag, found.c_cflag) << signalNumber;
    }
    ::close(master);
}

// A signal sent to another thread is handled on the main thread once it lets signals in, as the
// port registry's release does: the main thread is never cut short while it holds them off.
TEST(RunSignals, StopSignalToAnotherThreadIsHandledOnTheMainThread) {
    EXPECT_EXIT(
        {
            const CRunSignals signals;
            sigset_t stop;
            sigemptyset(&stop);
            sigaddset(&stop, SIGTERM);
            ::pthread_sigmask(SIG_BLOCK, &stop, nullptr);
            std::thread([&stop] {
                ::pthread_sigmask(SIG_UNBLOCK, &stop, nullptr);
                ::raise(SIGTERM);  // to this thread
            }).join();
            std::fputs("main thread done\n", stderr);
            ::pthread_sigmask(SIG_UNBLOCK, &stop, nullptr);
            ::_exit(3);
        },
        ::testing::KilledBySignal(SIGTERM), "main thread done");
}

}  // namespace

// The update workflow through the scripted front end against the virtual camera, in virtual
// time: one test per way a run can go.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "app/workflow_fixture.hpp"

namespace {

using apptest::FirmwareFile;
using apptest::ImagePart;
using apptest::kSuccess120;
using apptest::UpdateWorkflow;
using Kind = UiEvent::Kind;
using Outcome = CFirmwareUpdater::Outcome;

TEST_F(UpdateWorkflow, QuitInThePortDialogEndsBeforeAnyLink) {
    ui.portAnswers.push_back({kDialogQuit, 0});
    EXPECT_EQ(updater.RunUpdate(), Outcome::EndedByChoice);
    EXPECT_EQ(world.ports.OpenCount(1), 0);
    EXPECT_EQ(ui.Count(Kind::WaitCursorOn), 0u);
    EXPECT_TRUE(Prompts().empty());
    EXPECT_EQ(world.camera.Greetings(), 0);
}

TEST_F(UpdateWorkflow, CameraNotFoundShowsMessage6AfterReleasingTheLink) {
    world.camera.Faults().unplugged = true;
    ChoosePort(0);  // AUTO searches COM1 to COM4
    ui.onEvent = [this](const UiEvent& e) {
        if (e.kind == Kind::Message) {
            EXPECT_FALSE(world.line.HostEndOpen()) << "the link goes before the message";
            EXPECT_EQ(updater.m_promptText, "") << "the prompt line goes before the message";
        }
    };
    EXPECT_EQ(updater.RunUpdate(), Outcome::Failed);
    EXPECT_EQ(Messages(), std::vector<std::string>{LoadString(kStrCameraNotFound)});
    EXPECT_EQ(ui.EventsOf(Kind::Message).at(0).detail,
              "COM1 (virtual line 1): opened, but no camera answered there\n"
              "COM2: no device\n"
              "  Plug the camera's serial adapter in, or see which device is which with "
              "\"tk358fw --list-ports\".\n"
              "COM3: no device\n"
              "COM4: no device\n");
    EXPECT_GE(world.ports.OpenCount(1), 1);
    EXPECT_EQ(ui.Count(Kind::ChooseFile), 0u);
    // The search is over when the message comes: the prompt line no longer says it runs.
    EXPECT_EQ(Prompts(), (std::vector<std::string>{LoadString(kStrSearching), ""}));
    EXPECT_EQ(updater.m_cameraInfoValid, 0);
    ExpectCursorBalanced();
    ExpectLinkReleased();
}

// Each port's reason, given by the port system, in the lines under the message.
TEST_F(UpdateWorkflow, CameraNotFoundSaysWhyForEachPortTried) {
    apptest::VirtualWorld onCom4(4);
    onCom4.camera.Faults().unplugged = true;
    onCom4.ports.Describe(2, {"/dev/ttyUSB0", "", ""});
    onCom4.ports.Describe(3, {"/dev/ttyS1", "", ""});
    onCom4.ports.Describe(4, {"/tmp/notes", "", "TK358FW_COM4"});
    onCom4.ports.RefuseOpen(2, {PortProblem::PermissionDenied, 13, "Permission denied", "dialout"});
    // A program's name is anybody's to choose: it never drives the terminal.
    onCom4.ports.RefuseOpen(
        3, {PortProblem::InUse, 16, "Device busy", "mini\x1b]0;x\acom, process 77"});
    CScriptedUserInterface ui4;
    CFirmwareUpdater updater4(ui4, onCom4.ports);
    ui4.portAnswers.push_back({kDialogOk, 0});
    EXPECT_EQ(updater4.RunUpdate(), Outcome::Failed);
    onCom4.ports.RefuseOpen(4, {PortProblem::NotATerminal, 25, "", "a regular file"});
    ui4.portAnswers.push_back({kDialogOk, 4});
    EXPECT_EQ(updater4.RunUpdate(), Outcome::Failed);
    // Windows cannot name the program holding a port: its own words are kept.
    onCom4.ports.RefuseOpen(3, {PortProblem::InUse, 5, "Access is denied.", ""});
    ui4.portAnswers.push_back({kDialogOk, 3});
    EXPECT_EQ(updater4.RunUpdate(), Outcome::Failed);

    const std::vector<UiEvent> messages = ui4.EventsOf(Kind::Message);
    ASSERT_EQ(messages.size(), 3u);
    EXPECT_EQ(messages[0].text, LoadString(kStrCameraNotFound));
    EXPECT_EQ(messages[0].detail,
              "COM1: no device\n"
              "  Plug the camera's serial adapter in, or see which device is which with "
              "\"tk358fw --list-ports\".\n"
              "COM2 (/dev/ttyUSB0): permission denied\n"
              "  You are not in the group \"dialout\" that may use it. Join it with\n"
              "    sudo usermod -aG dialout $USER\n"
              "  then log out and log in again: a new group counts from a new login on.\n"
              "COM3 (/dev/ttyS1): busy: held by mini\\x1b]0;x\\x07com, process 77\n"
              "  Close the program that holds it, then start again.\n"
              "COM4 (/tmp/notes): opened, but no camera answered there\n");
    EXPECT_EQ(messages[1].detail,
              "COM4 (/tmp/notes): not a terminal (a regular file)\n"
              "  Name a serial device in TK358FW_COM4 (\"tk358fw --list-ports\" lists them).\n");
    EXPECT_EQ(messages[2].detail,
              "COM3 (/dev/ttyS1): busy: another program holds it (Access is denied.)\n"
              "  Close the program that holds it, then start again.\n");
}

TEST_F(UpdateWorkflow, ChosenPortIsTheOneSearched) {
    apptest::VirtualWorld onCom3(3);
    CScriptedUserInterface ui3;
    CFirmwareUpdater updater3(ui3, onCom3.ports);
    g_pUpdater = &updater3;
    ui3.Attach(&updater3);
    ui3.portAnswers.push_back({kDialogOk, 2});  // COM2: nothing there
    EXPECT_EQ(updater3.RunUpdate(), Outcome::Failed);
    EXPECT_EQ(onCom3.ports.OpenCount(3), 0);
    EXPECT_EQ(onCom3.camera.Greetings(), 0);
    // Another program holds COM3's device open: the search leaves it alone ...
    onCom3.ports.HoldElsewhere(3, "agetty, process 612");
    ui3.portAnswers.push_back({kDialogOk, 0});
    EXPECT_EQ(updater3.RunUpdate(), Outcome::Failed);
    EXPECT_EQ(onCom3.ports.OpenCount(3), 0);
    EXPECT_NE(ui3.EventsOf(Kind::Message)
                  .back()
                  .detail.find("COM3 (virtual line 3): busy: held by agetty, process 612\n"),
              std::string::npos);
    EXPECT_EQ(ui3.Count(Kind::Notice), 0u);
    // ... and COM3 chosen opens, with a warning that names the program.
    ui3.portAnswers.push_back({kDialogOk, 3});  // COM3: the camera; then quit at the file
    EXPECT_EQ(updater3.RunUpdate(), Outcome::EndedByChoice);
    ASSERT_EQ(ui3.Count(Kind::Notice), 1u);
    EXPECT_EQ(ui3.EventsOf(Kind::Notice)[0].text,
              "tk358fw: warning: COM3 (virtual line 3) is also open in agetty, process 612; what "
              "that program sends or reads on the line may disturb the update\n");
    EXPECT_GE(onCom3.ports.OpenCount(3), 1);
    EXPECT_EQ(onCom3.ports.OpenCount(1), 0);
    EXPECT_GT(onCom3.camera.Greetings(), 0);
    EXPECT_FALSE(onCom3.line.HostEndOpen());
    g_pUpdater = &updater;
}

TEST_F(UpdateWorkflow, EvenOnePictureInTheCameraEndsTheRunAfterDialog112) {
    world.camera.State().store0.pictures = 1;
    ChoosePort(1);
    ChooseFile(GoodFile());
    EXPECT_EQ(updater.RunUpdate(), Outcome::CameraHoldsPictures);
    EXPECT_EQ(Dialogs(), std::vector<int>{kDialogImagesPresent});
    EXPECT_EQ(ui.EventsOf(Kind::TextDialog)[0].text, LoadString(kStrImagesPresent));
    EXPECT_EQ(ui.Count(Kind::ChooseFile), 0u);
    EXPECT_TRUE(world.camera.Banks().empty());
    EXPECT_TRUE(world.camera.Blocks().empty());
    // The camera's ID and version were taken over and shown before the dialog.
    EXPECT_EQ(Prompts().back(), "Camera ID: TK358-000417     Firmware Version: 1.12");
    EXPECT_EQ(updater.m_cameraInfoValid, 1);
    ExpectLinkReleased();
}

TEST_F(UpdateWorkflow, NegativePictureCountLetsTheRunGoOn) {
    world.camera.State().store0.pictures = -1;  // top bit set
    world.camera.State().versionMajor = 2;
    world.camera.State().versionMinor = 0;
    ChoosePort(1);
    ui.dialogAnswers.push_back(kDialogQuit);  // at the cancelled file choice
    EXPECT_EQ(updater.RunUpdate(), Outcome::EndedByChoice);
    EXPECT_EQ(Dialogs(), std::vector<int>{kDialogSelectionCancelled});
    EXPECT_EQ(Prompts().back(), "Camera ID: TK358-000417     Firmware Version: 2.0");
    ExpectLinkReleased();
}

TEST_F(UpdateWorkflow, DownloadModeCameraBlanksThePromptAndSkipsThePictureCheck) {
    world.camera.State().mode = sim::CameraMode::Download;
    world.camera.State().store0.pictures = 5;  // not looked at in download mode
    ChoosePort(1);
    ChooseFile(GoodFile("0305"));
    ui.dialogAnswers.push_back(kDialogOk);
    EXPECT_EQ(updater.RunUpdate(), Outcome::Installed);
    EXPECT_EQ(Prompts(), (std::vector<std::string>{LoadString(kStrSearching), ""}));
    EXPECT_EQ(updater.m_cameraInfoValid, 0);
    EXPECT_EQ(updater.m_cameraVersionMajor, 0);
    EXPECT_EQ(Dialogs(), std::vector<int>{kDialogSuccess});
    EXPECT_EQ(ui.EventsOf(Kind::TextDialog)[0].text.substr(0, 22), "Firmware 3.5 was succe");
    ExpectLinkReleased();
}

TEST_F(UpdateWorkflow, CancelledChoiceThenContinueThenAGoodFileInstalls) {
    ChoosePort(1);
    ui.fileAnswers.push_back({kChooseCancelled, {}});
    ui.fileAnswers.push_back({kChooseCancelled, {}});
    ChooseFile(GoodFile());
    ui.dialogAnswers = {kDialogOk, kDialogOk, kDialogOk};
    EXPECT_EQ(updater.RunUpdate(), Outcome::Installed);
    EXPECT_EQ(Dialogs(), (std::vector<int>{kDialogSelectionCancelled, kDialogSelectionCancelled,
                                           kDialogSuccess}));
    EXPECT_EQ(ui.EventsOf(Kind::TextDialog)[0].text, "File selection was canceled !");
    // Each choice gets the filter and the initial name taken from it.
    for (const UiEvent& e : ui.EventsOf(Kind::ChooseFile)) {
        EXPECT_EQ(e.text, "Firmware Files (*.fw )   |*.fw||  ");
        EXPECT_EQ(e.detail, "*.fw ");
    }
    EXPECT_TRUE(Messages().empty());
    ExpectLinkReleased();
}

TEST_F(UpdateWorkflow, QuitAfterACancelledChoiceEndsTheRun) {
    ChoosePort(1);
    ui.dialogAnswers.push_back(kDialogQuit);
    EXPECT_EQ(updater.RunUpdate(), Outcome::EndedByChoice);
    EXPECT_EQ(Dialogs(), std::vector<int>{kDialogSelectionCancelled});
    EXPECT_TRUE(world.camera.Blocks().empty());
    ExpectLinkReleased();
}

TEST_F(UpdateWorkflow, WrongFileThenContinueThenAGoodFileInstalls) {
    // The identification is its first 48 bytes: the first and the last of them count, the byte
    // after them does not.
    std::vector<uint8_t> wrongFirst = FirmwareFile();
    wrongFirst[0] = 'o';
    std::vector<uint8_t> wrongLast = FirmwareFile();
    wrongLast[47] = 'E';
    std::vector<uint8_t> good = FirmwareFile();
    good[48] = '!';
    ChoosePort(1);
    ChooseFile(dir.Write("wrong0.fw", wrongFirst));
    ChooseFile(dir.Write("wrong47.fw", wrongLast));
    ChooseFile(dir.Write("good.fw", good));
    ui.dialogAnswers = {kDialogOk, kDialogOk, kDialogOk};
    EXPECT_EQ(updater.RunUpdate(), Outcome::Installed);
    EXPECT_EQ(Dialogs(), (std::vector<int>{kDialogWrongFile, kDialogWrongFile, kDialogSuccess}));
    EXPECT_EQ(ui.EventsOf(Kind::TextDialog)[0].text, "\nSelected file is wrong.");
    EXPECT_EQ(world.camera.Image(), ImagePart(good));
    ExpectLinkReleased();
}

TEST_F(UpdateWorkflow, ShortFileIsRefusedLikeAWrongFileAndNothingIsSent) {
    ChoosePort(1);
    ChooseFile(dir.Write("short.fw", FirmwareFile("0120", kFirmwareCompleteBytes - 1)));
    ChooseFile(dir.Write("header.fw", FirmwareFile("0120", 130)));
    ui.dialogAnswers = {kDialogOk, kDialogQuit};
    EXPECT_EQ(updater.RunUpdate(), Outcome::FileRefused);
    EXPECT_EQ(Dialogs(), (std::vector<int>{kDialogWrongFile, kDialogWrongFile}));
    EXPECT_TRUE(Messages().empty());
    EXPECT_TRUE(world.camera.Blocks().empty());
    EXPECT_TRUE(world.camera.Banks().empty());
    EXPECT_EQ(ui.Count(Kind::CreateProgress), 0u);
    ExpectLinkReleased();
}

TEST_F(UpdateWorkflow, FailedFileChoiceAndUnreadableFileEndWithTheirMessages) {
    ChoosePort(1);
    ui.fileAnswers.push_back({kChooseDialogFailed, {}});
    EXPECT_EQ(updater.RunUpdate(), Outcome::FileRefused);
    EXPECT_EQ(Messages(), std::vector<std::string>{"File not found error!"});
    ExpectLinkReleased();

    ui.ClearEvents();
    ChoosePort(1);
    ChooseFile(dir.Path() + "/vanished.fw");
    EXPECT_EQ(updater.RunUpdate(), Outcome::FileRefused);
    EXPECT_EQ(Messages(), std::vector<std::string>{"File open or read error!"});
    EXPECT_TRUE(Dialogs().empty());
    ExpectCursorBalanced();
    ExpectLinkReleased();
}

TEST_F(UpdateWorkflow, FailedTransferShowsTheFailureTextThenMessage10) {
    world.camera.Faults().failBlockIndex = 100;
    ChoosePort(1);
    ChooseFile(GoodFile());
    ui.onEvent = [this](const UiEvent& e) {
        if (e.kind == Kind::Message) {
            EXPECT_FALSE(world.line.HostEndOpen());
            EXPECT_EQ(updater.m_pProgressDialog, nullptr);
        }
    };
    EXPECT_EQ(updater.RunUpdate(), Outcome::Failed);

    const std::vector<UiEvent> progress = ui.EventsOf(Kind::Progress);
    ASSERT_FALSE(progress.empty());
    const UiEvent& last = progress.back();
    EXPECT_EQ(last.stage, 3u);
    EXPECT_EQ(last.text, "Downloading firmware failed.");
    const UiEvent close = ui.EventsOf(Kind::CloseProgress).at(0);
    EXPECT_EQ(close.atMs - last.atMs, 1000u);  // the failure text stays for one second
    EXPECT_EQ(Messages(), std::vector<std::string>{LoadString(kStrUpdateFailed)});
    EXPECT_EQ(ui.EventsOf(Kind::Message).at(0).detail, "");  // the port did not fail
    // The message comes after the progress window has gone.
    const auto& events = ui.Events();
    const auto closeAt = std::find_if(events.begin(), events.end(), [](const UiEvent& e) {
        return e.kind == Kind::CloseProgress;
    });
    const auto messageAt = std::find_if(events.begin(), events.end(),
                                        [](const UiEvent& e) { return e.kind == Kind::Message; });
    EXPECT_LT(closeAt - events.begin(), messageAt - events.begin());
    EXPECT_TRUE(Dialogs().empty());
    ExpectCursorBalanced();
    ExpectLinkReleased();
}

TEST_F(UpdateWorkflow, AnAdapterPulledDuringTheTransferIsNamedUnderMessage10) {
    ChoosePort(1);
    ChooseFile(GoodFile());
    ui.onEvent = [this](const UiEvent& e) {
        if (e.kind == Kind::Progress && e.value >= 10) {
            world.line.UnplugHostEnd();
        }
    };
    EXPECT_EQ(updater.RunUpdate(), Outcome::Failed);
    EXPECT_EQ(Messages(), std::vector<std::string>{LoadString(kStrUpdateFailed)});
    EXPECT_EQ(ui.EventsOf(Kind::Message).at(0).detail,
              "COM1 (virtual line 1): the device went away (the virtual line is gone)\n"
              "  Check the cable and the adapter; \"tk358fw --list-ports\" shows what is there.\n");
}

TEST_F(UpdateWorkflow, SuccessfulUpdateWritesTheImageAndNamesTheFileVersion) {
    ChoosePort(1);
    const std::vector<uint8_t> file = FirmwareFile("0120", kFirmwareCompleteBytes + 500);
    ChooseFile(dir.Write("longer.fw", file));
    ui.dialogAnswers.push_back(kDialogOk);
    EXPECT_EQ(updater.RunUpdate(), Outcome::Installed);

    EXPECT_EQ(world.camera.Image(), ImagePart(file));
    EXPECT_EQ(world.camera.Blocks().size(), 768u);
    EXPECT_TRUE(world.camera.ProtocolErrors().empty());
    EXPECT_EQ(Dialogs(), std::vector<int>{kDialogSuccess});
    EXPECT_EQ(ui.EventsOf(Kind::TextDialog)[0].text, kSuccess120);
    EXPECT_EQ(updater.m_fileVersionMajor, 1);
    EXPECT_EQ(updater.m_fileVersionMinor, 20);
    EXPECT_TRUE(Messages().empty());
    EXPECT_EQ(Prompts(),
              (std::vector<std::string>{LoadString(kStrSearching),
                                        "Camera ID: TK358-000417     Firmware Version: 1.12"}));
    EXPECT_EQ(std::string(updater.m_cameraId.data()), "TK358-000417");

    // One progress window: stage 0 at 0, a step per block, the completion shown for a second.
    EXPECT_EQ(ui.Count(Kind::CreateProgress), 1u);
    const std::vector<UiEvent> progress = ui.EventsOf(Kind::Progress);
    ASSERT_EQ(progress.size(), 1u + 768u + 1u);
    EXPECT_EQ(progress.front().stage, 0u);
    EXPECT_EQ(progress.front().value, 0);
    EXPECT_EQ(progress.front().text, "Downloading firmware ...");
    EXPECT_EQ(progress[768].stage, 1u);
    EXPECT_EQ(progress[768].value, 99);  // the per-block percentage stays just below 100
    EXPECT_EQ(progress.back().stage, 2u);
    EXPECT_EQ(progress.back().value, 100);
    EXPECT_EQ(progress.back().text, "Downloading firmware completed.");
    EXPECT_EQ(ui.EventsOf(Kind::CloseProgress).at(0).atMs - progress.back().atMs, 1000u);
    EXPECT_EQ(updater.m_pProgressDialog, nullptr);
    EXPECT_EQ(updater.m_progressOpen, 0);
    // The wait cursor is on around the connection and around the transfer.
    EXPECT_EQ(ui.Count(Kind::WaitCursorOn), 3u);  // connect, loading the file, transfer
    ExpectCursorBalanced();
    ExpectLinkReleased();
}

}  // namespace

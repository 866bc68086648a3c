// The update procedure object: the prompt line, centring over the view, the byte helper and the
// progress callback's window handling.
#include <gtest/gtest.h>

#include <cstring>

#include "app/app_test_support.hpp"

namespace {

using Kind = UiEvent::Kind;

class Updater : public ::testing::Test {
  protected:
    void SetUp() override { ui.Attach(&updater); }
    void SetCamera(const char* id, int16_t major, int16_t minor) {
        std::memcpy(updater.m_cameraId.data(), id, std::strlen(id));
        updater.m_cameraVersionMajor = major;
        updater.m_cameraVersionMinor = minor;
        updater.m_cameraInfoValid = 1;
    }

    sim::VirtualClock clock;
    ScopedClock scopedClock{clock};
    sim::VirtualPortSystem ports;
    CScriptedUserInterface ui;
    CFirmwareUpdater updater{ui, ports};
};

TEST_F(Updater, PromptLinePerMode) {
    updater.ShowPrompt(PromptSelectPort);
    EXPECT_EQ(updater.m_promptText, "Select the communication port. ");
    updater.ShowPrompt(PromptSearching);
    EXPECT_EQ(updater.m_promptText, "Searching for Orvia Lumen Precision TK358 zoom camera ...");
    // Camera information before it was taken over leaves the line empty.
    updater.ShowPrompt(PromptCameraInfo);
    EXPECT_EQ(updater.m_promptText, "");

    SetCamera("ABC", 1, 3);
    updater.ShowPrompt(PromptCameraInfo);
    EXPECT_EQ(updater.m_promptText, "Camera ID: ABC     Firmware Version: 1.3");
    SetCamera("ABC", 2, 0);
    updater.ShowPrompt(PromptCameraInfo);
    EXPECT_EQ(updater.m_promptText, "Camera ID: ABC     Firmware Version: 2.0");
    SetCamera("ABC", 1, 12);
    updater.ShowPrompt(PromptCameraInfo);
    EXPECT_EQ(updater.m_promptText, "Camera ID: ABC     Firmware Version: 1.12");

    for (const int16_t mode : {int16_t{PromptClear}, int16_t{7}, int16_t{-1}}) {
        updater.ShowPrompt(PromptSearching);
        updater.ShowPrompt(mode);
        EXPECT_EQ(updater.m_promptText, "") << mode;
    }
}

TEST_F(Updater, PromptShowsAFull32CharacterIdAndRepaintsTheBarEachTime) {
    SetCamera("0123456789ABCDEF0123456789ABCDEF", 1, 5);
    updater.ShowPrompt(PromptCameraInfo);
    EXPECT_EQ(updater.m_promptText,
              "Camera ID: 0123456789ABCDEF0123456789ABCDEF     Firmware Version: 1.5");
    updater.ShowPrompt(PromptClear);
    const auto repaints = ui.EventsOf(Kind::Prompt);
    ASSERT_EQ(repaints.size(), 2u);
    EXPECT_EQ(repaints[1].text, "");
    // Without a prompt bar nothing is repainted.
    updater.m_pPromptBar = nullptr;
    updater.ShowPrompt(PromptSearching);
    EXPECT_EQ(ui.Count(Kind::Prompt), 2u);
}

class FakeWindow : public IPlaceableWindow {
  public:
    FakeWindow(int32_t w, int32_t h) : width(w), height(h) {}
    void GetOuterSize(int32_t* w, int32_t* h) override {
        *w = width;
        *h = height;
    }
    void MoveTo(int32_t l, int32_t t) override {
        left = l;
        top = t;
        ++moves;
    }
    int32_t width;
    int32_t height;
    int32_t left = -1;
    int32_t top = -1;
    int moves = 0;
};

TEST_F(Updater, CenterInViewHalvesTowardZeroAndNeverLeavesTheView) {
    updater.m_viewRect = ViewRect{0, 0, 801, 601};
    FakeWindow dialog(301, 151);
    updater.CenterInView(&dialog);
    EXPECT_EQ(dialog.left, 400 - 150);
    EXPECT_EQ(dialog.top, 300 - 75);

    // Wider and taller than the view: at the left and top edges.
    FakeWindow wide(1200, 900);
    updater.CenterInView(&wide);
    EXPECT_EQ(wide.left, 0);
    EXPECT_EQ(wide.top, 0);

    // A view of negative width still puts the dialog at the edge.
    updater.m_viewRect = ViewRect{5, 0, 0, 100};
    FakeWindow small(2, 2);
    updater.CenterInView(&small);
    EXPECT_EQ(small.left, 0);
    EXPECT_EQ(small.top, 49);

    updater.CenterInView(nullptr);  // nothing to place
}

TEST_F(Updater, ReadWordBigEndianTakesTheFirstByteHigh) {
    const uint8_t bytes[] = {0x12, 0xF4, 0x00};
    EXPECT_EQ(updater.ReadWordBigEndian(bytes), 0x12F4);
    EXPECT_EQ(updater.ReadWordBigEndian(bytes + 1), 0xF400);
}

TEST_F(Updater, ReadFirmwareVersionStoresBothParts) {
    const uint8_t fields[] = {' ', '7', 'A', 'B'};
    updater.ReadFirmwareVersion(fields);
    EXPECT_EQ(updater.m_fileVersionMajor, 7);
    EXPECT_EQ(updater.m_fileVersionMinor, 0);
}

TEST_F(Updater, ProgressWindowOpensDrawsPausesAndCloses) {
    EXPECT_EQ(updater.OnDownloadProgress(0, 0, 0, 0), 1);
    EXPECT_NE(updater.m_pProgressDialog, nullptr);
    EXPECT_EQ(updater.m_progressOpen, 1);
    EXPECT_EQ(updater.OnDownloadProgress(1, 37, 0, 0), 1);
    // A stage above 3 draws nothing and closes nothing.
    EXPECT_EQ(updater.OnDownloadProgress(4, 50, 0, 0), 1);
    EXPECT_EQ(updater.OnDownloadProgress(0xFFFFFFFFu, 50, 0, 0), 1);
    EXPECT_EQ(ui.Count(Kind::Progress), 2u);
    EXPECT_NE(updater.m_pProgressDialog, nullptr);

    const uint32_t before = NowMs();
    EXPECT_EQ(updater.OnDownloadProgress(3, 37, 0, 0), 1);
    EXPECT_EQ(NowMs() - before, 1000u);
    const auto shown = ui.EventsOf(Kind::Progress);
    ASSERT_EQ(shown.size(), 3u);
    EXPECT_EQ(shown[1].text, "Downloading firmware ...");
    EXPECT_EQ(shown[2].text, "Downloading firmware failed.");
    EXPECT_EQ(shown[2].value, 37);
    EXPECT_EQ(ui.Count(Kind::CloseProgress), 1u);
    EXPECT_EQ(updater.m_pProgressDialog, nullptr);
    EXPECT_EQ(updater.m_progressOpen, 0);

    // Without a window, nothing is drawn, there is no pause, and the transfer still goes on.
    EXPECT_EQ(updater.OnDownloadProgress(2, 100, 0, 0), 1);
    EXPECT_EQ(ui.Count(Kind::Progress), 3u);
    EXPECT_EQ(NowMs() - before, 1000u);
}

TEST_F(Updater, ProgressGoesOnWhenNoWindowCanBeMade) {
    ui.progressWindowAvailable = false;
    EXPECT_EQ(updater.OnDownloadProgress(0, 0, 0, 0), 1);
    EXPECT_EQ(updater.m_pProgressDialog, nullptr);
    EXPECT_EQ(updater.OnDownloadProgress(1, 10, 0, 0), 1);
    const uint32_t before = NowMs();
    EXPECT_EQ(updater.OnDownloadProgress(2, 100, 0, 0), 1);
    EXPECT_EQ(NowMs(), before);
    EXPECT_EQ(ui.Count(Kind::Progress), 0u);
    EXPECT_EQ(ui.Count(Kind::CloseProgress), 0u);
}

TEST_F(Updater, ChooseFirmwareFileMapsTheDialogOutcomes) {
    const std::string filter = LoadString(kStrFilter);
    std::string path = "untouched";
    ui.fileAnswers.push_back({kChooseOk, "/some/where/x.fw"});
    EXPECT_EQ(updater.ChooseFirmwareFile(true, &path, filter), kChooseOk);
    EXPECT_EQ(path, "/some/where/x.fw");

    path = "untouched";
    ui.fileAnswers.push_back({kChooseCancelled, {}});
    EXPECT_EQ(updater.ChooseFirmwareFile(true, &path, filter), kChooseCancelled);
    EXPECT_EQ(path, "untouched");
    EXPECT_EQ(ui.Count(Kind::Message), 0u);

    // Any other outcome of the dialog is a failure with message 13.
    ui.fileAnswers.push_back({int16_t{42}, {}});
    EXPECT_EQ(updater.ChooseFirmwareFile(true, &path, filter), kChooseDialogFailed);
    ASSERT_EQ(ui.Count(Kind::Message), 1u);
    EXPECT_EQ(ui.EventsOf(Kind::Message)[0].text, "File not found error!");
}

TEST_F(Updater, LoadFirmwareFileShowsTheBusyCursorAndMessage12OnFailure) {
    apptest::TempDir dir;
    FirmwareImage image;
    int64_t size = 0;
    EXPECT_TRUE(updater.LoadFirmwareFile(dir.Write("a.fw", {1, 2, 3}), &image, &size));
    EXPECT_EQ(size, 3);
    EXPECT_FALSE(updater.LoadFirmwareFile(dir.Write("empty.fw", {}), &image, &size));
    const auto& events = ui.Events();
    ASSERT_EQ(events.size(), 5u);
    EXPECT_EQ(events[2].kind, Kind::WaitCursorOn);
    EXPECT_EQ(events[3].kind, Kind::WaitCursorOff);  // the cursor is restored before the message
    EXPECT_EQ(events[4].kind, Kind::Message);
    EXPECT_EQ(events[4].text, "File open or read error!");
}

}  // namespace

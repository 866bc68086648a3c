// The update workflow through the scripted front end against the virtual camera, in virtual
// time: the fixture shared by the workflow's tests and the tests of its stop requests.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/app_test_support.hpp"

namespace apptest {

inline const std::string kSuccess120 =
    "Firmware 1.20 was successfully installed in your Orvia Lumen Precision TK358 zoom "
    "camera!\nClose the lens cover to complete the update.";

class UpdateWorkflow : public ::testing::Test {
  protected:
    void SetUp() override {
        g_pUpdater = &updater;
        ui.Attach(&updater);
        world.SetCameraId("TK358-000417");
        world.camera.State().versionMajor = 1;
        world.camera.State().versionMinor = 12;
    }
    void TearDown() override { g_pUpdater = nullptr; }

    std::string GoodFile(const char* fields = "0120") {
        return dir.Write("good.fw", FirmwareFile(fields));
    }
    void ChoosePort(int16_t port) { ui.portAnswers.push_back({kDialogOk, port}); }
    void ChooseFile(const std::string& path) { ui.fileAnswers.push_back({kChooseOk, path}); }

    std::vector<std::string> Prompts() const {
        std::vector<std::string> lines;
        for (const UiEvent& e : ui.EventsOf(UiEvent::Kind::Prompt)) {
            lines.push_back(e.text);
        }
        return lines;
    }
    std::vector<int> Dialogs() const {
        std::vector<int> ids;
        for (const UiEvent& e : ui.EventsOf(UiEvent::Kind::TextDialog)) {
            ids.push_back(e.dialog);
        }
        return ids;
    }
    std::vector<std::string> Messages() const {
        std::vector<std::string> texts;
        for (const UiEvent& e : ui.EventsOf(UiEvent::Kind::Message)) {
            texts.push_back(e.text);
        }
        return texts;
    }
    // Every wait cursor is switched off again, never nested.
    void ExpectCursorBalanced() const {
        int depth = 0;
        for (const UiEvent& e : ui.Events()) {
            if (e.kind == UiEvent::Kind::WaitCursorOn) {
                EXPECT_EQ(++depth, 1);
            } else if (e.kind == UiEvent::Kind::WaitCursorOff) {
                EXPECT_EQ(--depth, 0);
            }
        }
        EXPECT_EQ(depth, 0);
    }
    // The link's port is closed whenever a run has ended.
    void ExpectLinkReleased() const { EXPECT_FALSE(world.line.HostEndOpen()); }

    apptest::VirtualWorld world;
    apptest::TempDir dir;
    const CRunSignals signals;
    CFirmwareUpdater::Outcome outcome = CFirmwareUpdater::Outcome::EndedByChoice;
    CScriptedUserInterface ui;
    CFirmwareUpdater updater{ui, world.ports};
};

}  // namespace apptest

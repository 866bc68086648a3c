// What the desktop front ends share: nested background copies, the port radio buttons, the
// dialog templates.
#include <gtest/gtest.h>

#include "app/app.hpp"
#include "app/desktop/desktop.hpp"

namespace {

TEST(BackgroundLayout, NestedCopiesOnAn800By600Screen) {
    // 800 x 600 less caption and prompt bar: the view is 800 x 550.
    const std::vector<PaintRect> rects = NestedBackgroundRects(800, 550);
    ASSERT_EQ(rects.size(), 5u);  // heights 550, 502, 454, 406, 358; the next (310) is too low
    EXPECT_EQ(rects[0], (PaintRect{0, 0, 800, 550}));
    for (size_t i = 1; i < rects.size(); ++i) {
        EXPECT_EQ(rects[i].left, rects[i - 1].left + 24);
        EXPECT_EQ(rects[i].top, rects[i - 1].top + 24);
        EXPECT_EQ(rects[i].right, rects[i - 1].right - 24);
        EXPECT_EQ(rects[i].bottom, rects[i - 1].bottom - 24);
    }
    EXPECT_EQ(rects.back(), (PaintRect{96, 96, 704, 454}));
}

TEST(BackgroundLayout, NeedsStrictlyMoreThanThePictureSize) {
    EXPECT_TRUE(NestedBackgroundRects(512, 600).empty());
    EXPECT_TRUE(NestedBackgroundRects(900, 341).empty());
    EXPECT_EQ(NestedBackgroundRects(513, 342).size(), 1u);
    EXPECT_TRUE(NestedBackgroundRects(0, 0).empty());
    // The width stops the nesting when it runs out first.
    EXPECT_EQ(NestedBackgroundRects(560, 2000).size(), 1u);
    EXPECT_EQ(NestedBackgroundRects(561, 2000).size(), 2u);
}

// The prompt bar's line: the camera's bytes made visible as the terminal shows them, one line,
// the version always at its end.
TEST(PromptLine, ControlBytesAreShownOnOneLineWithTheVersion) {
    const std::string version = "     Firmware Version: 1.5";
    const struct {
        std::string prompt;
        std::string shown;
    } cases[] = {
        {"Searching for Orvia Lumen Precision TK358 zoom camera ...",
         "Searching for Orvia Lumen Precision TK358 zoom camera ..."},
        {"Camera ID: A\x01\x07\x1b\t\r\nB" + version,
         "Camera ID: A\\x01\\x07\\x1b\\x09\\x0d\\x0aB" + version},
        // Code page 1252, its unassigned bytes as C1 controls, and DEL.
        {"Camera ID: T\xC9ST \x80\x81\x7f" + version,
         "Camera ID: T\xC3\x89ST \xE2\x82\xAC\\u0081\\x7f" + version},
        {"", ""},
        // The longest line of ordinary characters is shown whole.
        {"Camera ID: 0123456789ABCDEF0123456789ABCDEF" + version,
         "Camera ID: 0123456789ABCDEF0123456789ABCDEF" + version},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(PromptLineText(c.prompt), c.shown);
    }
    // A 32-byte ID of control bytes: shortened in the middle, never cut inside an escape.
    const std::string shown = PromptLineText("Camera ID: " + std::string(32, '\n') + version);
    EXPECT_EQ(shown.rfind("Camera ID: \\x0a", 0), 0u) << shown;
    EXPECT_EQ(shown.substr(shown.size() - version.size() - 8), "\\x0a\\x0a" + version);
    EXPECT_NE(shown.find("\\x0a\xE2\x80\xA6\\x0a"), std::string::npos) << shown;
    const size_t characters = shown.size() - 2;  // the ellipsis is 3 bytes, the rest 1 each
    EXPECT_LE(characters, kPromptLineMaxCharacters);
    EXPECT_GT(characters, kPromptLineMaxCharacters - 4);  // filled up to the last whole escape
    EXPECT_EQ(shown.find('\n'), std::string::npos);
}

// Only the failed transfer's message names the retry procedure and offers to open it.
TEST(MessageBox, TheFailedTransferNamesAndOffersTheRetryProcedure) {
    const std::string failed = LoadString(kStrUpdateFailed);
    const std::string file = "/usr/share/doc/tk358fw/retry-procedure.md";
    const struct {
        std::string text, extended, retryProcedure;
        MessageBoxContent shown;
    } cases[] = {
        {failed, "", file, {"The retry procedure: " + file + "\n", file}},
        {failed, "COM1: gone\n", file, {"The retry procedure: " + file + "\n\nCOM1: gone\n", file}},
        {failed, "COM1: gone\n", "", {"COM1: gone\n", ""}},
        {LoadString(kStrCameraNotFound), "COM1: no device\n", file, {"COM1: no device\n", ""}},
    };
    for (const auto& c : cases) {
        const MessageBoxContent shown = DesktopMessageBox(c.text, c.extended, c.retryProcedure);
        EXPECT_EQ(shown.extendedText, c.shown.extendedText) << c.text;
        EXPECT_EQ(shown.document, c.shown.document) << c.text;
    }
}

TEST(PortChoice, RadioButtonsMapToPorts) {
    EXPECT_EQ(PortFromCheckedRadio(kRadioCom1, 0), 1);
    EXPECT_EQ(PortFromCheckedRadio(kRadioCom2, 0), 2);
    EXPECT_EQ(PortFromCheckedRadio(kRadioCom3, 0), 3);
    EXPECT_EQ(PortFromCheckedRadio(kRadioCom4, 0), 4);
    EXPECT_EQ(PortFromCheckedRadio(kRadioAuto, 3), 0);
    // Nothing checked (or a foreign identifier): the port keeps its value.
    EXPECT_EQ(PortFromCheckedRadio(0, 3), 3);
    EXPECT_EQ(PortFromCheckedRadio(110, 2), 2);
    EXPECT_EQ(PortFromCheckedRadio(116, 4), 4);
}

TEST(DialogTemplates, EveryDialogOfTheToolHasItsTemplate) {
    for (int id : {kDialogWrongFile, kDialogSuccess, kDialogSelectionCancelled, kDialogPort,
                   kDialogProgress, kDialogImagesPresent}) {
        const DialogTemplate* t = FindDialogTemplate(id);
        ASSERT_NE(t, nullptr) << id;
        for (const ControlTemplate& c : t->controls) {
            // Controls lie inside their dialog.
            EXPECT_LE(c.x + c.width, t->width) << id << " control " << c.id;
            EXPECT_LE(c.y + c.height, t->height) << id << " control " << c.id;
        }
    }
    EXPECT_EQ(FindDialogTemplate(106), nullptr);
    // Only the pictures dialog has a close box; only the port dialog has radio buttons.
    EXPECT_TRUE(FindDialogTemplate(kDialogImagesPresent)->systemMenu);
    EXPECT_FALSE(FindDialogTemplate(kDialogPort)->systemMenu);
}

}  // namespace

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

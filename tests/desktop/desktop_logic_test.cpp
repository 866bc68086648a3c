// What the desktop front ends share: nested background copies, the port radio buttons, the
// dialog templates.
#include <gtest/gtest.h>

#include "app/app.hpp"
#include "app/desktop/desktop.hpp"
#include "desktop/dialog_expectations.hpp"

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
    EXPECT_EQ(DialogTemplates().size(), ExpectedDialogs().size());
    for (const ExpectedDialog& expected : ExpectedDialogs()) {
        const DialogTemplate* t = FindDialogTemplate(expected.id);
        ASSERT_NE(t, nullptr) << expected.id;
        EXPECT_EQ(t->width, expected.width) << expected.id;
        EXPECT_EQ(t->height, expected.height) << expected.id;
        EXPECT_EQ(t->fontPoints, expected.fontPoints) << expected.id;
        EXPECT_EQ(t->systemMenu, expected.closeBox) << expected.id;
        ASSERT_EQ(t->controls.size(), expected.controls.size()) << expected.id;
        for (size_t i = 0; i < expected.controls.size(); ++i) {
            const ExpectedControl& e = expected.controls[i];
            const ControlTemplate& c = t->controls[i];
            EXPECT_TRUE(c.kind == e.kind && c.id == e.id && c.x == e.x && c.y == e.y &&
                        c.width == e.width && c.height == e.height && std::string(c.text) == e.text)
                << expected.id << " control " << i << " (" << e.id << ")";
        }
        for (const ControlTemplate& c : t->controls) {
            // Controls lie inside their dialog.
            EXPECT_LE(c.x + c.width, t->width) << expected.id << " control " << c.id;
            EXPECT_LE(c.y + c.height, t->height) << expected.id << " control " << c.id;
        }
    }
    EXPECT_EQ(FindDialogTemplate(106), nullptr);
    // Only the pictures dialog has a close box; only the port dialog has radio buttons.
    EXPECT_TRUE(FindDialogTemplate(kDialogImagesPresent)->systemMenu);
    EXPECT_FALSE(FindDialogTemplate(kDialogPort)->systemMenu);
}

}  // namespace

namespace {

uint32_t Read32(const std::vector<uint8_t>& bytes, size_t at) {
    return bytes[at] | bytes[at + 1] << 8 | bytes[at + 2] << 16 |
           static_cast<uint32_t>(bytes[at + 3]) << 24;
}

TEST(IconFileForWindows, EachSizeIsAnImageWithItsOpacityAndMaskBottomRowFirst) {
    const std::vector<uint8_t> file = IconFile({16, 256});
    ASSERT_GT(file.size(), 38u);
    EXPECT_EQ(Read32(file, 0), 0x10000u);  // reserved 0, type 1 (icon)
    EXPECT_EQ(file[4], 2);                 // two images
    size_t end = 6 + 2 * 16;
    for (const uint32_t side : {16u, 256u}) {
        SCOPED_TRACE(side);
        const size_t entry = side == 16 ? 6 : 22;
        const uint32_t offset = Read32(file, entry + 12);
        EXPECT_EQ(file[entry], side & 0xFF);  // 0 stands for 256
        EXPECT_EQ(file[entry + 6], 32);       // bits per pixel
        EXPECT_EQ(offset, end);               // the images follow each other
        ASSERT_EQ(Read32(file, entry + 8), 40 + side * side * 4 + side * ((side + 31) / 32 * 4));
        end = offset + Read32(file, entry + 8);
        ASSERT_LE(end, file.size());
        EXPECT_EQ(Read32(file, offset + 8), 2 * side);  // colour and mask rows
        // Bottom row first: the first pixel is the bottom left one, outside the rounded tile
        // (transparent, set in the mask); the middle one has the icon's colour and opacity.
        const TransparentPicture icon = DrawIcon(static_cast<int>(side));
        const size_t bottomLeft = (side - 1) * side;
        EXPECT_EQ(icon.alpha[bottomLeft], 0);
        EXPECT_EQ(Read32(file, offset + 40), icon.picture.pixels[bottomLeft] & 0xFFFFFF);
        EXPECT_NE(file[offset + 40 + side * side * 4] & 0x80, 0);
        const size_t middle = side / 2 * side + side / 2;
        EXPECT_EQ(Read32(file, offset + 40 + 4 * ((side - 1 - side / 2) * side + side / 2)),
                  (icon.picture.pixels[middle] & 0xFFFFFF) | uint32_t{icon.alpha[middle]} << 24);
    }
    EXPECT_EQ(end, file.size());
}

}  // namespace

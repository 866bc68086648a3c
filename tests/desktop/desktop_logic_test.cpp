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
    ASSERT_GE(file.size(), 6u + 2 * 16u);
    EXPECT_EQ(Read32(file, 0), 0x10000u);  // reserved 0, type 1 (icon)
    EXPECT_EQ(file[4] | file[5] << 8, 2);  // two images
    size_t end = 6 + 2 * 16;
    for (size_t i = 0; i < 2; ++i) {
        const int size = i == 0 ? 16 : 256;
        SCOPED_TRACE(size);
        const size_t entry = 6 + 16 * i;
        EXPECT_EQ(file[entry], size & 0xFF);  // 0 stands for 256
        EXPECT_EQ(file[entry + 6], 32);       // bits per pixel
        const uint32_t bytes = Read32(file, entry + 8);
        const uint32_t offset = Read32(file, entry + 12);
        EXPECT_EQ(offset, end);  // images follow each other
        const auto side = static_cast<uint32_t>(size);
        const uint32_t maskRow = (side + 31) / 32 * 4;
        ASSERT_EQ(bytes, 40 + side * side * 4 + side * maskRow);
        end = offset + bytes;
        ASSERT_LE(end, file.size());
        EXPECT_EQ(Read32(file, offset + 8), 2 * side);  // colour and mask rows
        // The first pixel stored is the bottom left one; the icon's opacity is in the top byte,
        // and a transparent pixel is set in the mask.
        const TransparentPicture icon = DrawIcon(size);
        const size_t bottomLeft = static_cast<size_t>((size - 1) * size);
        const size_t middle = static_cast<size_t>(size / 2 * size + size / 2);
        EXPECT_EQ(Read32(file, offset + 40), (icon.picture.pixels[bottomLeft] & 0xFFFFFF) |
                                                 uint32_t{icon.alpha[bottomLeft]} << 24);
        EXPECT_EQ(Read32(file, offset + 40 + 4 * (side * (side - 1 - side / 2) + side / 2)) >> 24,
                  icon.alpha[middle]);
        const uint8_t firstMaskByte = file[offset + 40 + side * side * 4];
        EXPECT_EQ((firstMaskByte & 0x80) != 0, icon.alpha[bottomLeft] == 0);
        EXPECT_EQ(icon.alpha[bottomLeft], 0);  // outside the rounded tile
        EXPECT_GT(icon.alpha[middle], 0);
    }
    EXPECT_EQ(end, file.size());
}

}  // namespace

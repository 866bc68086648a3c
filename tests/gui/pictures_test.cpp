// The pictures built into the binary: sizes and the digit strip's exact layout.
#include <gtest/gtest.h>

#include <set>

#include "res/res.hpp"

namespace {

constexpr uint32_t kYellow = 0xFFFF00;
constexpr uint32_t kBlack = 0x000000;

bool ColumnHasGlyph(const Picture& p, int x) {
    for (int y = 0; y < 10; ++y) {
        if (p.At(x, y) == kYellow) {
            return true;
        }
    }
    return false;
}

TEST(Pictures, SizesAndPixelCounts) {
    EXPECT_EQ(BackgroundPicture().width, 512);
    EXPECT_EQ(BackgroundPicture().height, 341);
    EXPECT_EQ(BackgroundPicture().pixels.size(), 512u * 341u);
    EXPECT_EQ(DigitStripPicture().width, 96);
    EXPECT_EQ(DigitStripPicture().height, 16);
    EXPECT_EQ(DigitStripPicture().pixels.size(), 96u * 16u);
    EXPECT_EQ(IconPicture().width, 32);
    EXPECT_EQ(IconPicture().height, 32);
    EXPECT_EQ(IconPicture().pixels.size(), 32u * 32u);
}

TEST(Pictures, DigitStripIsYellowOnBlackInTheTopTenRows) {
    const Picture& strip = DigitStripPicture();
    for (int y = 0; y < 16; ++y) {
        for (int x = 0; x < 96; ++x) {
            const uint32_t v = strip.At(x, y);
            ASSERT_TRUE(v == kYellow || v == kBlack) << x << "," << y;
            if (y >= 10 || x == 95) {
                EXPECT_EQ(v, kBlack) << x << "," << y;
            }
        }
    }
}

TEST(Pictures, EachGlyphStaysInItsCellAndCellsDiffer) {
    const Picture& strip = DigitStripPicture();
    std::set<std::vector<uint32_t>> glyphs;
    for (int cell = 0; cell < 11; ++cell) {
        const int left = 8 * cell;
        const int width = cell == 10 ? 12 : 8;
        // Glyphs never touch the first column of a cell, so neighbours never merge.
        EXPECT_FALSE(ColumnHasGlyph(strip, left)) << cell;
        bool any = false;
        std::vector<uint32_t> pixels;
        for (int x = left; x < left + width; ++x) {
            any = any || ColumnHasGlyph(strip, x);
            for (int y = 0; y < 10; ++y) {
                pixels.push_back(strip.At(x, y));
            }
        }
        EXPECT_TRUE(any) << "cell " << cell << " is empty";
        glyphs.insert(pixels);
    }
    EXPECT_EQ(glyphs.size(), 11u);
    // Nothing between the digit 9 and the percent sign, nor after the percent sign.
    for (int x = 80 + 11; x < 96; ++x) {
        EXPECT_FALSE(ColumnHasGlyph(strip, x)) << x;
    }
}

// The icon theme's pictures: the same drawing at every size, transparent round the tile.
TEST(Pictures, IconAtTheThemesSizesIsTransparentOutsideItsTile) {
    for (const int size : {22, 48, 256}) {
        const TransparentPicture icon = DrawIcon(size);
        ASSERT_EQ(icon.alpha.size(), static_cast<size_t>(size * size));
        EXPECT_EQ(icon.alpha.front(), 0) << size;  // the rounded corners
        EXPECT_EQ(icon.alpha.back(), 0) << size;
        EXPECT_EQ(icon.alpha[static_cast<size_t>(size * size / 2 + size / 2)], 255) << size;
        // The lens's highlight sits at (14, 15.5) of 32 at every size.
        EXPECT_EQ(icon.picture.At(size * 14 / 32, size * 31 / 64), 0xFFFFFFu) << size;
    }
}

TEST(Pictures, BackgroundAndIconAreDrawnNotBlank) {
    std::set<uint32_t> colours(BackgroundPicture().pixels.begin(),
                               BackgroundPicture().pixels.end());
    EXPECT_GT(colours.size(), 1000u);
    std::set<uint32_t> iconColours(IconPicture().pixels.begin(), IconPicture().pixels.end());
    EXPECT_GT(iconColours.size(), 20u);
}

}  // namespace

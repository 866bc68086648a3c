// The composed progress picture: frame, bar 3 pixels per percent, figure by exclusive or.
#include <gtest/gtest.h>

#include <string>

#include "app/desktop/desktop.hpp"
#include "res/res.hpp"

namespace {

constexpr uint32_t kGrey = 0xC0C0C0;
constexpr uint32_t kYellow = 0xFFFF00;
constexpr int kWidth = 340;
constexpr int kHeight = 70;  // B
constexpr int kFigureTop = kHeight - 27;

Picture Canvas() {
    Picture p;
    p.width = kWidth;
    p.height = kHeight;
    p.pixels.assign(static_cast<size_t>(kWidth * kHeight), kGrey);
    return p;
}

Picture Composed(int16_t percent, const Picture* strip = &DigitStripPicture()) {
    Picture p = Canvas();
    ComposeProgressPicture(p, percent, strip);
    return p;
}

// The bar's width, measured along a row of the frame's inside that the figure does not touch.
int BarWidth(const Picture& p) {
    const int y = kHeight - 29;
    int x = 10;
    while (x < 310 && p.At(x, y) == kProgressBlue) {
        ++x;
    }
    return x - 10;
}

// Counts of each colour inside the four figure cells.
struct FigureColours {
    int blue = 0, white = 0, other = 0;
};
FigureColours FigureCell(const Picture& p, int index) {
    FigureColours c;
    const int width = index == 3 ? 12 : 8;
    for (int y = kFigureTop; y < kFigureTop + 10; ++y) {
        for (int x = 140 + 8 * index; x < 140 + 8 * index + width; ++x) {
            const uint32_t v = p.At(x, y);
            (v == kProgressBlue ? c.blue : v == kProgressWhite ? c.white : c.other)++;
        }
    }
    return c;
}

// The yellow pixels of a strip cell, as the glyph pattern at (cellX, 0).
int GlyphPixels(int cellX, int width) {
    int n = 0;
    for (int y = 0; y < 10; ++y) {
        for (int x = cellX; x < cellX + width && x < 96; ++x) {
            n += DigitStripPicture().At(x, y) == kYellow;
        }
    }
    return n;
}

TEST(ProgressPicture, FrameOutlineAndInsideAtEveryPercent) {
    for (int16_t percent : {int16_t{0}, int16_t{5}, int16_t{37}, int16_t{44}, int16_t{100}}) {
        const Picture p = Composed(percent);
        SCOPED_TRACE(percent);
        // Black outline exactly on (9, B-31) .. (310, B-12); grey just outside it.
        for (int x = 9; x <= 310; ++x) {
            EXPECT_EQ(p.At(x, kHeight - 31), kProgressBlack);
            EXPECT_EQ(p.At(x, kHeight - 12), kProgressBlack);
        }
        for (int y = kHeight - 31; y <= kHeight - 12; ++y) {
            EXPECT_EQ(p.At(9, y), kProgressBlack);
            EXPECT_EQ(p.At(310, y), kProgressBlack);
            EXPECT_EQ(p.At(8, y), kGrey);
            EXPECT_EQ(p.At(311, y), kGrey);
        }
        EXPECT_EQ(p.At(100, kHeight - 32), kGrey);
        EXPECT_EQ(p.At(100, kHeight - 11), kGrey);
        EXPECT_EQ(BarWidth(p), 3 * percent);
        // The rest of the inside, past the bar, is white.
        if (percent < 100) {
            EXPECT_EQ(p.At(309, kHeight - 13), kProgressWhite);
        }
    }
}

TEST(ProgressPicture, ZeroPercentShowsEmptyFrameAndRightAlignedFigure) {
    const Picture p = Composed(0);
    EXPECT_EQ(p.At(10, kHeight - 30), kProgressWhite);
    // "  0:": two blank cells untouched (white), then the 0 and the percent sign in blue.
    EXPECT_EQ(FigureCell(p, 0).blue, 0);
    EXPECT_EQ(FigureCell(p, 1).blue, 0);
    EXPECT_EQ(FigureCell(p, 2).blue, GlyphPixels(0, 8));
    EXPECT_EQ(FigureCell(p, 3).blue, GlyphPixels(80, 12));
    for (int i = 0; i < 4; ++i) {
        EXPECT_EQ(FigureCell(p, i).other, 0);
    }
}

TEST(ProgressPicture, FivePercentIsAFifteenPixelBar) {
    const Picture p = Composed(5);
    EXPECT_EQ(BarWidth(p), 15);
    EXPECT_EQ(p.At(24, kHeight - 13), kProgressBlue);
    EXPECT_EQ(p.At(25, kHeight - 13), kProgressWhite);
    EXPECT_EQ(FigureCell(p, 2).blue, GlyphPixels(40, 8));  // the 5
}

TEST(ProgressPicture, ThirtySevenPercentBarEndsBeforeTheFigure) {
    const Picture p = Composed(37);
    EXPECT_EQ(BarWidth(p), 111);
    EXPECT_EQ(FigureCell(p, 1).blue, GlyphPixels(24, 8));  // the 3, blue on white
    EXPECT_EQ(FigureCell(p, 2).blue, GlyphPixels(56, 8));  // the 7
}

TEST(ProgressPicture, FortyFourPercentBarReachesIntoTheFigure) {
    // The bar ends at x = 142: the first two columns of the first figure cell are blue, and a
    // glyph pixel there would turn white.
    const Picture p = Composed(44);
    EXPECT_EQ(BarWidth(p), 132);
    const FigureColours tens = FigureCell(p, 1);
    EXPECT_EQ(tens.blue, GlyphPixels(32, 8));
    for (int y = kFigureTop; y < kFigureTop + 10; ++y) {
        EXPECT_EQ(p.At(140, y), kProgressBlue);
        EXPECT_EQ(p.At(141, y), kProgressBlue);
    }
}

TEST(ProgressPicture, HundredPercentShowsWhiteFigureOnFullBar) {
    const Picture p = Composed(100);
    EXPECT_EQ(BarWidth(p), 300);
    EXPECT_EQ(p.At(309, kHeight - 13), kProgressBlue);
    EXPECT_EQ(FigureCell(p, 0).white, GlyphPixels(8, 8));  // 1
    EXPECT_EQ(FigureCell(p, 1).white, GlyphPixels(0, 8));  // 0
    EXPECT_EQ(FigureCell(p, 2).white, GlyphPixels(0, 8));  // 0
    EXPECT_EQ(FigureCell(p, 3).white, GlyphPixels(80, 12));
    EXPECT_EQ(FigureCell(p, 3).other, 0);
}

TEST(ProgressPicture, RedrawingReplacesThePreviousFigure) {
    // Composing twice on the same canvas must not leave the earlier digits (the exclusive or
    // works on a freshly drawn frame each time).
    Picture p = Canvas();
    ComposeProgressPicture(p, 88, &DigitStripPicture());
    ComposeProgressPicture(p, 12, &DigitStripPicture());
    EXPECT_EQ(p.pixels, Composed(12).pixels);
}

TEST(ProgressPicture, WithoutDigitStripOnlyFrameAndBar) {
    // At 50 the bar ends at x = 160, in the middle of the third figure cell; nothing is drawn
    // over the bar or the white.
    const Picture p = Composed(50, nullptr);
    EXPECT_EQ(BarWidth(p), 150);
    EXPECT_EQ(FigureCell(p, 0).blue, 80);
    EXPECT_EQ(FigureCell(p, 1).blue, 80);
    EXPECT_EQ(FigureCell(p, 2).blue, 40);
    EXPECT_EQ(FigureCell(p, 2).white, 40);
    EXPECT_EQ(FigureCell(p, 3).white, 120);
}

TEST(ProgressPicture, OutOfRangePercentsStayInsideTheCanvas) {
    const Picture negative = Composed(-5);
    EXPECT_EQ(BarWidth(negative), 0);
    const Picture tiny = [] {
        Picture p;
        p.width = 50;
        p.height = 20;
        p.pixels.assign(1000, kGrey);
        ComposeProgressPicture(p, 100, &DigitStripPicture());
        return p;
    }();
    EXPECT_EQ(tiny.pixels.size(), 1000u);
}

TEST(ProgressPicture, FigureTextIsFourCharacters) {
    char text[5];
    FormatProgressFigure(0, text);
    EXPECT_STREQ(text, "  0:");
    FormatProgressFigure(44, text);
    EXPECT_STREQ(text, " 44:");
    FormatProgressFigure(100, text);
    EXPECT_STREQ(text, "100:");
    FormatProgressFigure(1234, text);
    EXPECT_EQ(std::string(text).size(), 4u);
}

}  // namespace

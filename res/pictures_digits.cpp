// The digit strip of the progress window: 96 x 16 pixels, yellow glyphs on black in the top ten
// rows. Digits 0 to 9 sit in 8-pixel cells at x = 0, 8, ..., 72; the percent sign in a 12-pixel
// cell at x = 80. Rows 10 to 15 and the last column stay black.
#include <array>
#include <string_view>

#include "res/res.hpp"

namespace {

constexpr int kStripWidth = 96;
constexpr int kStripHeight = 16;
constexpr int kGlyphRows = 10;
constexpr uint32_t kYellow = 0xFFFF00;
constexpr uint32_t kBlack = 0x000000;

// Each digit: 10 rows of 6 columns, placed at column 1 of its 8-pixel cell.
constexpr std::array<std::array<std::string_view, kGlyphRows>, 10> kDigits = {{
    {".####.", "##..##", "##..##", "##.###", "##.###", "###.##", "###.##", "##..##", "##..##",
     ".####."},
    {"..##..", ".###..", "####..", "..##..", "..##..", "..##..", "..##..", "..##..", "..##..",
     "######"},
    {".####.", "##..##", "....##", "....##", "...##.", "..##..", ".##...", "##....", "##....",
     "######"},
    {".####.", "##..##", "....##", "....##", "..###.", "....##", "....##", "....##", "##..##",
     ".####."},
    {"...##.", "..###.", ".####.", "##.##.", "##.##.", "######", "...##.", "...##.", "...##.",
     "...##."},
    {"######", "##....", "##....", "#####.", "....##", "....##", "....##", "....##", "##..##",
     ".####."},
    {"..###.", ".##...", "##....", "##....", "#####.", "##..##", "##..##", "##..##", "##..##",
     ".####."},
    {"######", "....##", "....##", "...##.", "...##.", "..##..", "..##..", ".##...", ".##...",
     ".##..."},
    {".####.", "##..##", "##..##", "##..##", ".####.", "##..##", "##..##", "##..##", "##..##",
     ".####."},
    {".####.", "##..##", "##..##", "##..##", "##..##", ".#####", "....##", "....##", "...##.",
     ".###.."},
}};

// The percent sign: 10 rows of 10 columns, placed at column 1 of its 12-pixel cell.
constexpr std::array<std::string_view, kGlyphRows> kPercent = {
    ".##.....##", "#..#...##.", "#..#..##..", ".##..##...", "....##....",
    "...##.....", "..##..##..", ".##..#..#.", "##...#..#.", "......##..",
};

void PutGlyph(Picture& strip, int cellX, const std::array<std::string_view, kGlyphRows>& rows) {
    for (int y = 0; y < kGlyphRows; ++y) {
        const std::string_view row = rows[static_cast<size_t>(y)];
        for (size_t x = 0; x < row.size(); ++x) {
            if (row[x] == '#') {
                const int px = cellX + 1 + static_cast<int>(x);
                strip.pixels[static_cast<size_t>(y * kStripWidth + px)] = kYellow;
            }
        }
    }
}

Picture DrawDigitStrip() {
    Picture strip;
    strip.width = kStripWidth;
    strip.height = kStripHeight;
    strip.pixels.assign(static_cast<size_t>(kStripWidth * kStripHeight), kBlack);
    for (int d = 0; d < 10; ++d) {
        PutGlyph(strip, 8 * d, kDigits[static_cast<size_t>(d)]);
    }
    PutGlyph(strip, 80, kPercent);
    return strip;
}

}  // namespace

const Picture& DigitStripPicture() {
    static const Picture strip = DrawDigitStrip();
    return strip;
}

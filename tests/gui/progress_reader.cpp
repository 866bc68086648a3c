#include "progress_reader.hpp"

#include "res/res.hpp"

namespace {

constexpr uint32_t kWhite = 0xFFFFFF;
constexpr uint32_t kBlue = 0x0000FF;
constexpr uint32_t kBlack = 0x000000;
constexpr uint32_t kYellow = 0xFFFF00;

// Does the strip cell at `cellX` (of `width` columns) have exactly the glyph pixels `mask`?
bool CellMatches(int cellX, int width, const bool (&mask)[10][12]) {
    const Picture& strip = DigitStripPicture();
    for (int y = 0; y < 10; ++y) {
        for (int x = 0; x < width; ++x) {
            if ((strip.At(cellX + x, y) == kYellow) != mask[y][x]) {
                return false;
            }
        }
    }
    return true;
}

}  // namespace

ProgressReading ReadProgress(const std::function<uint32_t(int, int)>& pixel, int b) {
    ProgressReading r;
    r.frame = pixel(9, b - 31) == kBlack && pixel(310, b - 12) == kBlack &&
              pixel(9, b - 12) == kBlack && pixel(310, b - 31) == kBlack;
    int x = 10;
    while (x < 310 && pixel(x, b - 29) == kBlue) {
        ++x;
    }
    r.barWidth = x - 10;
    const int barEnd = 10 + r.barWidth;

    int value = 0;
    bool digits = false;
    for (int i = 0; i < 4; ++i) {
        const int left = 140 + 8 * i;
        const int width = i == 3 ? 12 : 8;
        bool mask[10][12] = {};
        bool any = false;
        for (int y = 0; y < 10; ++y) {
            for (int cx = 0; cx < width; ++cx) {
                const uint32_t background = left + cx < barEnd ? kBlue : kWhite;
                const uint32_t v = pixel(left + cx, b - 27 + y);
                if (v == background) {
                    continue;
                }
                mask[y][cx] = any = true;
                (background == kWhite ? r.glyphsOnWhite : r.glyphsOnBlue) +=
                    (v == (background ^ kYellow)) ? 1 : 0;
            }
        }
        if (i == 3) {
            if (!CellMatches(80, 12, mask)) {
                return r;
            }
            continue;
        }
        if (!any) {
            if (digits) {
                return r;  // a blank after a digit
            }
            continue;
        }
        int digit = -1;
        for (int d = 0; d < 10 && digit < 0; ++d) {
            if (CellMatches(8 * d, 8, mask)) {
                digit = d;
            }
        }
        if (digit < 0) {
            return r;
        }
        value = value * 10 + digit;
        digits = true;
    }
    r.percent = digits ? value : -1;
    return r;
}

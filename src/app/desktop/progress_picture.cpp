#include "app/desktop/desktop.hpp"

#include <algorithm>
#include <cstdio>
#include <cstring>

namespace {

void FillRect(Picture& canvas, int left, int top, int right, int bottom, uint32_t colour) {
    left = std::max(left, 0);
    top = std::max(top, 0);
    right = std::min(right, canvas.width);
    bottom = std::min(bottom, canvas.height);
    for (int y = top; y < bottom; ++y) {
        for (int x = left; x < right; ++x) {
            canvas.pixels[static_cast<size_t>(y * canvas.width + x)] = colour;
        }
    }
}

// Exclusive-or copy of the strip's cell at (sx, 0), w x h, onto the canvas at (dx, dy). Source
// pixels outside the strip contribute nothing, so a blank leaves its cell unchanged.
void XorCell(Picture& canvas, const Picture& strip, int sx, int w, int h, int dx, int dy) {
    for (int y = 0; y < h; ++y) {
        for (int x = 0; x < w; ++x) {
            const int srcX = sx + x;
            const int dstX = dx + x;
            const int dstY = dy + y;
            if (srcX < 0 || srcX >= strip.width || y >= strip.height) {
                continue;
            }
            if (dstX < 0 || dstX >= canvas.width || dstY < 0 || dstY >= canvas.height) {
                continue;
            }
            canvas.pixels[static_cast<size_t>(dstY * canvas.width + dstX)] ^= strip.At(srcX, y);
        }
    }
}

}  // namespace

void FormatProgressFigure(int16_t percent, char (&text)[5]) {
    char formatted[16];
    std::snprintf(formatted, sizeof formatted, "%3d:", static_cast<int>(percent));
    std::memcpy(text, formatted, 4);
    text[4] = '\0';
}

void ComposeProgressPicture(Picture& canvas, int16_t percent, const Picture* digitStrip) {
    const int b = canvas.height;
    // Frame: black outline, white inside.
    FillRect(canvas, kProgressFrameLeft, b - 31, kProgressFrameRight, b - 11, kProgressBlack);
    FillRect(canvas, kProgressFrameLeft + 1, b - 30, kProgressFrameRight - 1, b - 12,
             kProgressWhite);
    // Bar: empty at 0 (and below), 300 pixels at 100.
    FillRect(canvas, 10, b - 30, 10 + 3 * static_cast<int>(percent), b - 12, kProgressBlue);
    if (digitStrip == nullptr) {
        return;
    }
    char figure[5];
    FormatProgressFigure(percent, figure);
    for (int i = 0; i < 4; ++i) {
        const int c = static_cast<unsigned char>(figure[i]);
        const int width = c == ':' ? 12 : 8;
        XorCell(canvas, *digitStrip, 8 * (c - 48), width, 10, 140 + 8 * i, b - 27);
    }
}

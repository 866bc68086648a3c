// The picture of the progress window, composed in memory: the white frame with its black outline,
// the blue bar (3 pixels per percent) and the percentage figure copied from the digit strip by
// exclusive or, so the yellow glyphs turn blue on white and white on blue.
#pragma once

#include <cstdint>

#include "res/res.hpp"

constexpr uint32_t kProgressWhite = 0xFFFFFF;
constexpr uint32_t kProgressBlue = 0x0000FF;
constexpr uint32_t kProgressBlack = 0x000000;
// The frame's left and (exclusive) right edge in client pixels.
constexpr int kProgressFrameLeft = 9;
constexpr int kProgressFrameRight = 311;

// Draws frame, bar and figure for `percent` onto `canvas`, whose height is the window's client
// height B. The frame spans (9, B-31) to (311, B-11), the bar (10, B-30) to (10 + 3 * percent,
// B-12) (right and bottom edges exclusive). With `digitStrip` null the figure is not drawn.
// Pixels outside the canvas are ignored.
void ComposeProgressPicture(Picture& canvas, int16_t percent, const Picture* digitStrip);

// The figure's text: the percent right-aligned in three places and a colon (which selects the
// percent sign); always four characters.
void FormatProgressFigure(int16_t percent, char (&text)[5]);

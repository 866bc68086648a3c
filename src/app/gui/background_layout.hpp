// Where the view paints the copies of the background picture: the whole client rectangle first,
// then each copy 24 pixels inside the previous one on every side, while the rectangle is still
// wider and higher than the picture.
#pragma once

#include <vector>

struct PaintRect {
    int left = 0;
    int top = 0;
    int right = 0;
    int bottom = 0;
    int Width() const { return right - left; }
    int Height() const { return bottom - top; }
    bool operator==(const PaintRect&) const = default;
};

constexpr int kBackgroundWidth = 512;
constexpr int kBackgroundHeight = 341;
constexpr int kBackgroundInset = 24;

// The rectangles of the nested copies for a client area of `width` x `height`, outermost first;
// none when the area is not wider than 512 or not higher than 341 pixels.
std::vector<PaintRect> NestedBackgroundRects(int width, int height);

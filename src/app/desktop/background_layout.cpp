#include "app/desktop/desktop.hpp"

std::vector<PaintRect> NestedBackgroundRects(int width, int height) {
    std::vector<PaintRect> rects;
    PaintRect r{0, 0, width, height};
    while (r.Width() > kBackgroundWidth && r.Height() > kBackgroundHeight) {
        rects.push_back(r);
        r.left += kBackgroundInset;
        r.top += kBackgroundInset;
        r.right -= kBackgroundInset;
        r.bottom -= kBackgroundInset;
    }
    return rects;
}

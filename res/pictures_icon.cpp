// The application's 32 x 32 icon: a small camera with a blue lens on a rounded sky-blue tile.
#include <algorithm>
#include <cmath>

#include "res/drawing.hpp"
#include "res/res.hpp"

namespace {

using namespace drawing;

constexpr int kSize = 32;

uint32_t IconPixel(double x, double y) {
    Rgb c{255, 255, 255};
    c = Mix(c, Mix(Rgb{40, 90, 170}, Rgb{90, 160, 210}, y / kSize),
            Coverage(RoundRectDistance(x, y, 16, 16, 16, 16, 6)));
    c = Mix(c, Rgb{60, 64, 72}, Coverage(RoundRectDistance(x, y, 12, 9.5, 5, 2.5, 1.5)));
    c = Mix(c, Mix(Rgb{110, 114, 124}, Rgb{48, 52, 60}, (y - 10) / 12),
            Coverage(RoundRectDistance(x, y, 16, 17.5, 12, 8, 3)));
    const double r = std::hypot(x - 16, y - 17.5);
    c = Mix(c, Rgb{210, 214, 222}, Coverage(r - 7));
    c = Mix(c, Mix(Rgb{70, 130, 210}, Rgb{20, 16, 60}, r / 5.5), Coverage(r - 5.5));
    c = Mix(c, Rgb{255, 255, 255}, Coverage(std::hypot(x - 14, y - 15.5) - 1.4));
    return Pack(c);
}

Picture DrawIcon() {
    Picture icon;
    icon.width = kSize;
    icon.height = kSize;
    icon.pixels.resize(static_cast<size_t>(kSize * kSize));
    for (int y = 0; y < kSize; ++y) {
        for (int x = 0; x < kSize; ++x) {
            icon.pixels[static_cast<size_t>(y * kSize + x)] = IconPixel(x + 0.5, y + 0.5);
        }
    }
    return icon;
}

}  // namespace

const Picture& IconPicture() {
    static const Picture icon = DrawIcon();
    return icon;
}

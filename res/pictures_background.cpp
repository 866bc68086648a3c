// The view's background picture, 512 x 341 pixels, drawn by code at first use: an evening-blue
// gradient with soft out-of-focus light discs, and a stylised camera whose large lens catches the
// light. Shapes are signed-distance fields, so every edge is anti-aliased.
#include <algorithm>
#include <cmath>

#include "res/drawing.hpp"
#include "res/res.hpp"

namespace {

using namespace drawing;

constexpr int kWidth = 512;
constexpr int kHeight = 341;

struct Disc {
    double x, y, radius, strength;
};

// Kept away from the edges: the view shows nested copies of the picture, and the outer strips of
// each copy should read as a calm frame.
constexpr Disc kLightDiscs[] = {
    {96, 84, 30, 0.18},  {140, 262, 22, 0.14}, {424, 86, 34, 0.16}, {440, 256, 20, 0.20},
    {80, 176, 14, 0.15}, {370, 290, 16, 0.10}, {300, 64, 12, 0.12}, {206, 292, 10, 0.16},
};

Rgb Sky(double x, double y) {
    const Rgb top{22, 38, 78};
    const Rgb bottom{70, 128, 170};
    Rgb c = Mix(top, bottom, y / kHeight);
    // A warm glow from the lower right.
    const double glow = std::exp(-std::hypot(x - 470, y - 330) / 170.0) * 0.55;
    c = Mix(c, Rgb{235, 170, 110}, glow);
    for (const Disc& d : kLightDiscs) {
        const double cover = Coverage(CircleDistance(x, y, d.x, d.y, d.radius));
        const double rim = Coverage(std::abs(CircleDistance(x, y, d.x, d.y, d.radius - 1)) - 0.7);
        c = Mix(c, Rgb{255, 250, 230}, cover * d.strength + rim * d.strength * 0.6);
    }
    return c;
}

Rgb Camera(double x, double y, Rgb c) {
    // Shadow under the body.
    const double shadow = RoundRectDistance(x, y, 262, 200, 150, 88, 26);
    c = Mix(c, Rgb{8, 12, 24}, (1.0 - std::clamp(shadow / 14.0, 0.0, 1.0)) * 0.45);

    // Viewfinder hump and shutter button, behind the body.
    const Rgb graphite{50, 54, 62};
    c = Mix(c, Mix(Rgb{92, 96, 106}, graphite, (y - 84) / 30),
            Coverage(RoundRectDistance(x, y, 196, 100, 58, 22, 8)));
    c = Mix(c, Mix(Rgb{232, 90, 70}, Rgb{150, 40, 34}, (y - 86) / 16),
            Coverage(RoundRectDistance(x, y, 352, 100, 26, 12, 6)));

    // Body with a lit top edge and a textured grip band.
    const double body = RoundRectDistance(x, y, 256, 192, 150, 84, 24);
    Rgb bodyColour = Mix(Rgb{96, 101, 112}, graphite, (y - 108) / 40);
    if (y > 222 && y < 262) {
        const bool ridge = (static_cast<int>(x) / 3) % 2 == 0;
        bodyColour = Mix(bodyColour, Rgb{30, 32, 38}, ridge ? 0.55 : 0.35);
    }
    c = Mix(c, bodyColour, Coverage(body));
    c = Mix(c, Rgb{150, 156, 168}, Coverage(std::abs(body + 1.5) - 0.6) * 0.6);

    // Flash window.
    const double flash = RoundRectDistance(x, y, 368, 140, 24, 13, 3);
    c = Mix(c, Mix(Rgb{250, 250, 236}, Rgb{190, 196, 200}, (y - 127) / 26), Coverage(flash));

    // Lens: silver barrel, dark ring, glass with a gradient, inner element and highlights.
    const double lx = 246;
    const double ly = 196;
    const double r = std::hypot(x - lx, y - ly);
    c = Mix(c, Mix(Rgb{220, 224, 232}, Rgb{120, 126, 138}, (y - ly + 74) / 148), Coverage(r - 74));
    c = Mix(c, Rgb{24, 26, 32}, Coverage(r - 63));
    for (int ring = 0; ring < 3; ++ring) {
        c = Mix(c, Rgb{70, 74, 84}, Coverage(std::abs(r - (58.0 - 3.0 * ring)) - 0.45) * 0.8);
    }
    const Rgb glass = Mix(Rgb{60, 110, 190}, Rgb{26, 18, 70}, (r / 48.0));
    c = Mix(c, Mix(glass, Rgb{120, 60, 150}, std::clamp((x - lx) / 90.0, 0.0, 1.0)),
            Coverage(r - 48));
    c = Mix(c, Rgb{10, 10, 26}, Coverage(r - 20));
    c = Mix(c, Rgb{90, 170, 220}, Coverage(std::abs(r - 34) - 0.5) * 0.5);
    c = Mix(c, Rgb{255, 255, 255}, Coverage(CircleDistance(x, y, lx - 18, ly - 20, 9)) * 0.85);
    c = Mix(c, Rgb{255, 255, 255}, Coverage(CircleDistance(x, y, lx + 14, ly + 16, 4)) * 0.6);
    return c;
}

Picture DrawBackground() {
    Picture picture;
    picture.width = kWidth;
    picture.height = kHeight;
    picture.pixels.resize(static_cast<size_t>(kWidth * kHeight));
    for (int y = 0; y < kHeight; ++y) {
        for (int x = 0; x < kWidth; ++x) {
            const double px = x + 0.5;
            const double py = y + 0.5;
            picture.pixels[static_cast<size_t>(y * kWidth + x)] = Pack(Camera(px, py, Sky(px, py)));
        }
    }
    return picture;
}

}  // namespace

const Picture& BackgroundPicture() {
    static const Picture picture = DrawBackground();
    return picture;
}

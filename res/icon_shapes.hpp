// The application's icon as shapes on a 32-unit square, back to front: a small camera with a
// blue lens on a rounded sky-blue tile. The raster pictures (pictures_icon.cpp) and the scalable
// icon (icon_svg.cpp) are both drawn from this one list. Internal to res.
#pragma once

#include <array>

#include "res/drawing.hpp"

namespace icon {

constexpr double kSide = 32.0;  // the drawing's square, in units

// A rounded rectangle by its centre, half sizes and corner radius. A circle is the rounded
// rectangle whose half sizes both equal its radius.
struct Outline {
    double cx, cy, halfWidth, halfHeight, radius;
    bool IsCircle() const { return halfWidth == radius && halfHeight == radius; }
    double Distance(double x, double y) const {
        return drawing::RoundRectDistance(x, y, cx, cy, halfWidth, halfHeight, radius);
    }
};

// How a shape is filled: one colour; a vertical gradient from `from` at y = y0 to `to` at y = y1;
// or a radial gradient from `from` at (cx, cy) to `to` at distance r. Beyond its ends a
// gradient keeps its end colours.
struct Fill {
    enum class Kind { Solid, Vertical, Radial };
    Kind kind;
    drawing::Rgb from;
    drawing::Rgb to;
    double y0 = 0, y1 = 0;
    double cx = 0, cy = 0, r = 0;

    drawing::Rgb At(double x, double y) const {
        switch (kind) {
            case Kind::Vertical:
                return drawing::Mix(from, to, (y - y0) / (y1 - y0));
            case Kind::Radial:
                return drawing::Mix(from, to, std::hypot(x - cx, y - cy) / r);
            case Kind::Solid:
                break;
        }
        return from;
    }
};

struct Shape {
    Outline outline;
    Fill fill;
};

constexpr drawing::Rgb kWhite{255, 255, 255};
constexpr double kLensX = 16;
constexpr double kLensY = 17.5;

// The first shape is the tile: everything outside it is transparent.
inline const std::array<Shape, 6> kShapes = {{
    // The tile, darker at the top.
    {{16, 16, 16, 16, 6}, {Fill::Kind::Vertical, {40, 90, 170}, {90, 160, 210}, 0, kSide}},
    // The viewfinder hump, behind the body.
    {{12, 9.5, 5, 2.5, 1.5}, {Fill::Kind::Solid, {60, 64, 72}, {60, 64, 72}}},
    // The body, lit from above.
    {{16, 17.5, 12, 8, 3}, {Fill::Kind::Vertical, {110, 114, 124}, {48, 52, 60}, 10, 22}},
    // The lens ring, the glass and its highlight.
    {{kLensX, kLensY, 7, 7, 7}, {Fill::Kind::Solid, {210, 214, 222}, {210, 214, 222}}},
    {{kLensX, kLensY, 5.5, 5.5, 5.5},
     {Fill::Kind::Radial, {70, 130, 210}, {20, 16, 60}, 0, 0, kLensX, kLensY, 5.5}},
    {{14, 15.5, 1.4, 1.4, 1.4}, {Fill::Kind::Solid, kWhite, kWhite}},
}};

}  // namespace icon

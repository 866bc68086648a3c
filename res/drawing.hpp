// Small drawing helpers shared by the pictures: colours, blending, and signed-distance shapes
// (negative inside) whose coverage gives anti-aliased edges.
#pragma once

#include <algorithm>
#include <cmath>
#include <cstdint>

namespace drawing {

struct Rgb {
    double r, g, b;
};

inline Rgb Mix(Rgb a, Rgb b, double t) {
    t = std::clamp(t, 0.0, 1.0);
    return {a.r + (b.r - a.r) * t, a.g + (b.g - a.g) * t, a.b + (b.b - a.b) * t};
}

// Coverage of a shape from its signed distance, over one pixel.
inline double Coverage(double distance) {
    return std::clamp(0.5 - distance, 0.0, 1.0);
}

inline double CircleDistance(double x, double y, double cx, double cy, double radius) {
    return std::hypot(x - cx, y - cy) - radius;
}

inline double RoundRectDistance(double x, double y, double cx, double cy, double halfW,
                                double halfH, double radius) {
    const double qx = std::abs(x - cx) - (halfW - radius);
    const double qy = std::abs(y - cy) - (halfH - radius);
    const double outside = std::hypot(std::max(qx, 0.0), std::max(qy, 0.0));
    return outside + std::min(std::max(qx, qy), 0.0) - radius;
}

// 0xRRGGBB, each channel rounded and clamped to 0..255.
inline uint32_t Pack(Rgb c) {
    const auto channel = [](double v) {
        return static_cast<uint32_t>(std::lround(std::clamp(v, 0.0, 255.0)));
    };
    return (channel(c.r) << 16) | (channel(c.g) << 8) | channel(c.b);
}

}  // namespace drawing

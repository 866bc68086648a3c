// The application's icon as pixels: at any size with its opacity, and as the 32 x 32 picture on
// white that the main window shows.
#include <algorithm>
#include <cmath>

#include "res/drawing.hpp"
#include "res/icon_shapes.hpp"
#include "res/res.hpp"

namespace {

using namespace drawing;

struct IconPoint {
    Rgb colour;
    double opacity;
};

// The icon at (x, y) in drawing units; `pixelsPerUnit` sets how wide an anti-aliased edge is.
IconPoint DrawAt(double x, double y, double pixelsPerUnit) {
    const icon::Shape& tile = icon::kShapes.front();
    IconPoint point{tile.fill.At(x, y), Coverage(tile.outline.Distance(x, y) * pixelsPerUnit)};
    for (size_t i = 1; i < icon::kShapes.size(); ++i) {
        const icon::Shape& shape = icon::kShapes[i];
        point.colour = Mix(point.colour, shape.fill.At(x, y),
                           Coverage(shape.outline.Distance(x, y) * pixelsPerUnit));
    }
    return point;
}

Picture IconOnWhite() {
    constexpr int kSize = static_cast<int>(icon::kSide);
    Picture picture;
    picture.width = kSize;
    picture.height = kSize;
    picture.pixels.resize(static_cast<size_t>(kSize * kSize));
    for (int y = 0; y < kSize; ++y) {
        for (int x = 0; x < kSize; ++x) {
            const IconPoint point = DrawAt(x + 0.5, y + 0.5, 1.0);
            picture.pixels[static_cast<size_t>(y * kSize + x)] =
                Pack(Mix(icon::kWhite, point.colour, point.opacity));
        }
    }
    return picture;
}

}  // namespace

TransparentPicture DrawIcon(int size) {
    TransparentPicture icon;
    icon.picture.width = size;
    icon.picture.height = size;
    const size_t count = static_cast<size_t>(size) * static_cast<size_t>(size);
    icon.picture.pixels.resize(count);
    icon.alpha.resize(count);
    const double pixelsPerUnit = size / icon::kSide;
    for (int y = 0; y < size; ++y) {
        for (int x = 0; x < size; ++x) {
            const IconPoint point =
                DrawAt((x + 0.5) / pixelsPerUnit, (y + 0.5) / pixelsPerUnit, pixelsPerUnit);
            const size_t i = static_cast<size_t>(y) * static_cast<size_t>(size) + x;
            icon.picture.pixels[i] = Pack(point.colour);
            icon.alpha[i] = static_cast<uint8_t>(std::lround(point.opacity * 255.0));
        }
    }
    return icon;
}

const Picture& IconPicture() {
    static const Picture icon = IconOnWhite();
    return icon;
}

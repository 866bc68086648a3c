// The application's icon as a scalable vector (SVG) document, from the same shapes as its pixels.
#include <cstdio>
#include <string>

#include "res/icon_shapes.hpp"
#include "res/res.hpp"

namespace {

std::string Number(double value) {
    char text[32];
    std::snprintf(text, sizeof text, "%g", value);
    return text;
}

std::string Colour(drawing::Rgb c) {
    char text[8];
    std::snprintf(text, sizeof text, "#%06x", static_cast<unsigned>(drawing::Pack(c)));
    return text;
}

std::string Stops(const icon::Fill& fill) {
    return "<stop offset=\"0\" stop-color=\"" + Colour(fill.from) +
           "\"/><stop offset=\"1\" stop-color=\"" + Colour(fill.to) + "\"/>";
}

// The gradient a fill needs (in `defs`), and the paint that refers to it or names its colour.
std::string Gradient(const icon::Fill& fill, const std::string& id) {
    switch (fill.kind) {
        case icon::Fill::Kind::Vertical:
            return "<linearGradient id=\"" + id +
                   "\" gradientUnits=\"userSpaceOnUse\" x1=\"0\" y1=\"" + Number(fill.y0) +
                   "\" x2=\"0\" y2=\"" + Number(fill.y1) + "\">" + Stops(fill) +
                   "</linearGradient>\n";
        case icon::Fill::Kind::Radial:
            return "<radialGradient id=\"" + id + "\" gradientUnits=\"userSpaceOnUse\" cx=\"" +
                   Number(fill.cx) + "\" cy=\"" + Number(fill.cy) + "\" r=\"" + Number(fill.r) +
                   "\">" + Stops(fill) + "</radialGradient>\n";
        case icon::Fill::Kind::Solid:
            break;
    }
    return {};
}

std::string Paint(const icon::Fill& fill, const std::string& id) {
    return fill.kind == icon::Fill::Kind::Solid ? Colour(fill.from) : "url(#" + id + ")";
}

std::string Element(const icon::Outline& o, const std::string& paint) {
    if (o.IsCircle()) {
        return "<circle cx=\"" + Number(o.cx) + "\" cy=\"" + Number(o.cy) + "\" r=\"" +
               Number(o.radius) + "\" fill=\"" + paint + "\"/>\n";
    }
    return "<rect x=\"" + Number(o.cx - o.halfWidth) + "\" y=\"" + Number(o.cy - o.halfHeight) +
           "\" width=\"" + Number(2 * o.halfWidth) + "\" height=\"" + Number(2 * o.halfHeight) +
           "\" rx=\"" + Number(o.radius) + "\" fill=\"" + paint + "\"/>\n";
}

}  // namespace

std::string IconSvg() {
    const std::string side = Number(icon::kSide);
    std::string defs;
    std::string body;
    for (size_t i = 0; i < icon::kShapes.size(); ++i) {
        const icon::Shape& shape = icon::kShapes[i];
        const std::string id = "fill" + std::to_string(i);
        defs += Gradient(shape.fill, id);
        body += Element(shape.outline, Paint(shape.fill, id));
    }
    return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
           "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"" +
           side + "\" height=\"" + side + "\" viewBox=\"0 0 " + side + " " + side + "\">\n" +
           (defs.empty() ? std::string() : "<defs>\n" + defs + "</defs>\n") + body + "</svg>\n";
}

#include "xwd_image.hpp"

#include <cstdio>
#include <fstream>
#include <iterator>

namespace {

uint32_t Be32(const std::vector<uint8_t>& b, size_t at) {
    return (uint32_t{b[at]} << 24) | (uint32_t{b[at + 1]} << 16) | (uint32_t{b[at + 2]} << 8) |
           b[at + 3];
}

// Index of the lowest set bit, and the mask's width.
int Shift(uint32_t mask) {
    int s = 0;
    while (mask != 0 && (mask & 1u) == 0) {
        mask >>= 1;
        ++s;
    }
    return s;
}

}  // namespace

bool ParseXwd(const std::vector<uint8_t>& b, XwdImage* image) {
    if (b.size() < 100) {
        return false;
    }
    // Header fields, each a 32-bit big-endian value.
    const uint32_t headerSize = Be32(b, 0);
    const uint32_t width = Be32(b, 16);
    const uint32_t height = Be32(b, 20);
    const uint32_t byteOrder = Be32(b, 28);  // 0 LSBFirst, 1 MSBFirst
    const uint32_t bitsPerPixel = Be32(b, 44);
    const uint32_t bytesPerLine = Be32(b, 48);
    const uint32_t visualClass = Be32(b, 52);  // 4 TrueColor, 5 DirectColor
    const uint32_t redMask = Be32(b, 56);
    const uint32_t greenMask = Be32(b, 60);
    const uint32_t blueMask = Be32(b, 64);
    const uint32_t colours = Be32(b, 76);
    if ((bitsPerPixel != 32 && bitsPerPixel != 24) || (visualClass != 4 && visualClass != 5)) {
        return false;
    }
    const size_t data = size_t{headerSize} + size_t{colours} * 12;
    const size_t bytesPerPixel = bitsPerPixel / 8;
    if (b.size() < data + size_t{bytesPerLine} * height) {
        return false;
    }
    image->width = static_cast<int>(width);
    image->height = static_cast<int>(height);
    image->pixels.resize(size_t{width} * height);
    for (size_t y = 0; y < height; ++y) {
        for (size_t x = 0; x < width; ++x) {
            const size_t at = data + y * bytesPerLine + x * bytesPerPixel;
            uint32_t v = 0;
            for (size_t k = 0; k < bytesPerPixel; ++k) {
                const size_t index = byteOrder == 0 ? at + bytesPerPixel - 1 - k : at + k;
                v = (v << 8) | b[index];
            }
            const uint32_t r = (v & redMask) >> Shift(redMask);
            const uint32_t g = (v & greenMask) >> Shift(greenMask);
            const uint32_t bl = (v & blueMask) >> Shift(blueMask);
            image->pixels[y * width + x] = (r << 16) | (g << 8) | bl;
        }
    }
    return true;
}

namespace {

bool Capture(const std::string& command, XwdImage* image) {
    FILE* pipe = popen(command.c_str(), "r");
    if (pipe == nullptr) {
        return false;
    }
    std::vector<uint8_t> bytes;
    uint8_t chunk[65536];
    size_t n;
    while ((n = fread(chunk, 1, sizeof chunk, pipe)) > 0) {
        bytes.insert(bytes.end(), chunk, chunk + n);
    }
    const bool ok = pclose(pipe) == 0;
    return ok && ParseXwd(bytes, image);
}

}  // namespace

bool CaptureScreen(const std::string& screenFile, XwdImage* image) {
    std::ifstream in(screenFile, std::ios::binary);
    const std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(in)), {});
    return ParseXwd(bytes, image);
}

bool CaptureWindow(const std::string& display, const std::string& windowId, XwdImage* image) {
    return Capture("xwd -silent -display " + display + " -id " + windowId + " 2>/dev/null", image);
}

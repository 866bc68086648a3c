// Writes the application's icon into an icon theme folder: a PNG picture for each size given and
// the scalable (SVG) drawing, both drawn by the program's own code.
//
//   make_icons THEME_DIR NAME SIZE...     e.g. make_icons build/icons/hicolor tk358fw 16 32 48
//
// writes THEME_DIR/<size>x<size>/apps/NAME.png for each size and THEME_DIR/scalable/apps/NAME.svg.
#include <zlib.h>

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <string>
#include <vector>

#include "res/res.hpp"

namespace {

constexpr int kLargestSize = 1024;

void AppendBigEndian32(std::vector<uint8_t>* out, uint32_t value) {
    for (int shift = 24; shift >= 0; shift -= 8) {
        out->push_back(static_cast<uint8_t>(value >> shift));
    }
}

void AppendChunk(std::vector<uint8_t>* png, const char type[4], const std::vector<uint8_t>& data) {
    AppendBigEndian32(png, static_cast<uint32_t>(data.size()));
    const size_t typeAt = png->size();
    png->insert(png->end(), type, type + 4);
    png->insert(png->end(), data.begin(), data.end());
    const uLong crc = crc32(0L, png->data() + typeAt, static_cast<uInt>(png->size() - typeAt));
    AppendBigEndian32(png, static_cast<uint32_t>(crc));
}

// An 8-bit RGBA PNG of the picture; empty when compression fails.
std::vector<uint8_t> EncodePng(const TransparentPicture& icon) {
    const Picture& p = icon.picture;
    std::vector<uint8_t> rows;
    rows.reserve(static_cast<size_t>(p.height) * (1 + 4 * static_cast<size_t>(p.width)));
    for (int y = 0; y < p.height; ++y) {
        rows.push_back(0);  // no filter
        for (int x = 0; x < p.width; ++x) {
            const uint32_t rgb = p.At(x, y);
            rows.push_back(static_cast<uint8_t>(rgb >> 16));
            rows.push_back(static_cast<uint8_t>(rgb >> 8));
            rows.push_back(static_cast<uint8_t>(rgb));
            rows.push_back(icon.alpha[static_cast<size_t>(y * p.width + x)]);
        }
    }
    uLongf packedSize = compressBound(static_cast<uLong>(rows.size()));
    std::vector<uint8_t> packed(packedSize);
    if (compress2(packed.data(), &packedSize, rows.data(), static_cast<uLong>(rows.size()),
                  Z_BEST_COMPRESSION) != Z_OK) {
        return {};
    }
    packed.resize(packedSize);

    std::vector<uint8_t> header;
    AppendBigEndian32(&header, static_cast<uint32_t>(p.width));
    AppendBigEndian32(&header, static_cast<uint32_t>(p.height));
    header.insert(header.end(), {8, 6, 0, 0, 0});  // 8 bits, RGBA, deflate, no filter, no interlace

    std::vector<uint8_t> png = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    AppendChunk(&png, "IHDR", header);
    AppendChunk(&png, "IDAT", packed);
    AppendChunk(&png, "IEND", {});
    return png;
}

bool WriteFile(const std::filesystem::path& path, const void* data, size_t size) {
    std::error_code error;
    std::filesystem::create_directories(path.parent_path(), error);
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(static_cast<const char*>(data), static_cast<std::streamsize>(size));
    out.close();
    if (!out) {
        std::cerr << "make_icons: cannot write " << path << '\n';
        return false;
    }
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 4) {
        std::cerr << "Usage: make_icons THEME_DIR NAME SIZE...\n";
        return 2;
    }
    const std::filesystem::path theme = argv[1];
    const std::string name = argv[2];
    for (int i = 3; i < argc; ++i) {
        char* end = nullptr;
        const long size = std::strtol(argv[i], &end, 10);
        if (*end != '\0' || size < 1 || size > kLargestSize) {
            std::cerr << "make_icons: not a size from 1 to " << kLargestSize << ": " << argv[i]
                      << '\n';
            return 2;
        }
        const std::vector<uint8_t> png = EncodePng(DrawIcon(static_cast<int>(size)));
        const std::string folder = std::to_string(size) + "x" + std::to_string(size);
        if (png.empty()) {
            std::cerr << "make_icons: cannot compress the " << folder << " picture\n";
            return 1;
        }
        if (!WriteFile(theme / folder / "apps" / (name + ".png"), png.data(), png.size())) {
            return 1;
        }
    }
    const std::string svg = IconSvg();
    return WriteFile(theme / "scalable" / "apps" / (name + ".svg"), svg.data(), svg.size()) ? 0 : 1;
}

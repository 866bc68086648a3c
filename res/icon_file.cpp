// The application's icon as an icon file (.ico) for Windows: one 32-bit image with its opacity
// and a mask for each size, every size drawn anew from the icon's shapes.
#include <cstdint>

#include "res/res.hpp"

namespace {

constexpr size_t kDirectoryBytes = 6;
constexpr size_t kEntryBytes = 16;
constexpr uint32_t kImageHeaderBytes = 40;

void Append16(std::vector<uint8_t>& out, uint32_t value) {
    out.push_back(static_cast<uint8_t>(value));
    out.push_back(static_cast<uint8_t>(value >> 8));
}

void Append32(std::vector<uint8_t>& out, uint32_t value) {
    Append16(out, value & 0xFFFF);
    Append16(out, value >> 16);
}

void Put32(std::vector<uint8_t>& out, size_t at, uint32_t value) {
    for (int i = 0; i < 4; ++i) {
        out[at + static_cast<size_t>(i)] = static_cast<uint8_t>(value >> (8 * i));
    }
}

// The image of one size: header, colour and opacity rows, mask rows, bottom row first.
std::vector<uint8_t> IconImage(int size) {
    const TransparentPicture icon = DrawIcon(size);
    const auto side = static_cast<uint32_t>(size);
    const uint32_t maskRowBytes = (side + 31) / 32 * 4;
    std::vector<uint8_t> image;
    Append32(image, kImageHeaderBytes);
    Append32(image, side);
    Append32(image, 2 * side);  // colour rows and mask rows
    Append16(image, 1);         // planes
    Append16(image, 32);        // bits per pixel
    Append32(image, 0);         // uncompressed
    Append32(image, side * side * 4 + side * maskRowBytes);
    for (int i = 0; i < 4; ++i) {
        Append32(image, 0);
    }
    for (int y = size - 1; y >= 0; --y) {
        for (int x = 0; x < size; ++x) {
            const size_t at = static_cast<size_t>(y) * side + static_cast<size_t>(x);
            Append32(image, (icon.picture.pixels[at] & 0xFFFFFF) |
                                (static_cast<uint32_t>(icon.alpha[at]) << 24));
        }
    }
    for (int y = size - 1; y >= 0; --y) {
        std::vector<uint8_t> row(maskRowBytes, 0);
        for (int x = 0; x < size; ++x) {
            if (icon.alpha[static_cast<size_t>(y) * side + static_cast<size_t>(x)] == 0) {
                row[static_cast<size_t>(x / 8)] |= static_cast<uint8_t>(0x80 >> (x % 8));
            }
        }
        image.insert(image.end(), row.begin(), row.end());
    }
    return image;
}

}  // namespace

std::vector<uint8_t> IconFile(const std::vector<int>& sizes) {
    std::vector<uint8_t> file;
    Append16(file, 0);
    Append16(file, 1);  // an icon
    Append16(file, static_cast<uint32_t>(sizes.size()));
    file.resize(kDirectoryBytes + kEntryBytes * sizes.size());
    for (size_t i = 0; i < sizes.size(); ++i) {
        const std::vector<uint8_t> image = IconImage(sizes[i]);
        const size_t entry = kDirectoryBytes + kEntryBytes * i;
        // Width and height in one byte each; 0 stands for 256.
        file[entry] = static_cast<uint8_t>(sizes[i] & 0xFF);
        file[entry + 1] = static_cast<uint8_t>(sizes[i] & 0xFF);
        file[entry + 4] = 1;   // planes
        file[entry + 6] = 32;  // bits per pixel
        Put32(file, entry + 8, static_cast<uint32_t>(image.size()));
        Put32(file, entry + 12, static_cast<uint32_t>(file.size()));
        file.insert(file.end(), image.begin(), image.end());
    }
    return file;
}

// Resources built into the binary: the string table, the progress window's texts and the
// pictures (background, digit strip, icon).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

enum StringId : int {
    kStrDocType = 2,
    kStrTitle = 3,
    kStrImagesPresent = 5,
    kStrCameraNotFound = 6,
    kStrUpdateFailed = 10,
    kStrFilter = 11,
    kStrFileError = 12,
    kStrFileNotFound = 13,
    kStrSelectionCanceled = 15,
    kStrSelectPort = 16,
    kStrCameraId = 17,
    kStrFirmwareVersion = 19,
    kStrWrongFile = 20,
    kStrSuccess = 21,
    kStrSearching = 22,
};

// The text of a string; empty for a number that is not in the table.
const std::string& LoadString(int id);

// The texts of the progress window.
extern const char kProgressRunning[];    // stages 0 and 1
extern const char kProgressCompleted[];  // stage 2
extern const char kProgressFailed[];     // stage 3

// A picture as 0xRRGGBB pixels, row by row from the top.
struct Picture {
    int width = 0;
    int height = 0;
    std::vector<uint32_t> pixels;
    uint32_t At(int x, int y) const { return pixels[static_cast<size_t>(y * width + x)]; }
};

const Picture& BackgroundPicture();  // 512 x 341
const Picture& DigitStripPicture();  // 96 x 16: digits 0-9 in 8-pixel cells, % in a 12-pixel cell
const Picture& IconPicture();        // 32 x 32, on white

// A picture with each pixel's opacity, 0 (transparent) to 255 (opaque).
struct TransparentPicture {
    Picture picture;
    std::vector<uint8_t> alpha;
};
// The icon drawn at `size` x `size` pixels, transparent around its rounded tile.
TransparentPicture DrawIcon(int size);
// The same drawing as a scalable (SVG) document.
std::string IconSvg();

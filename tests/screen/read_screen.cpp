// Reads a rectangle of a screen capture (an X window dump, such as the screen file of Xvfb), for
// the scripts that drive a whole update in real windows:
//
//   read_screen DUMP progress X Y W H   the progress picture in the window whose inside is the
//                                       rectangle: "frame=0|1 bar=N percent=N on_white=N on_blue=N"
//                                       (percent -1: no figure readable)
//   read_screen DUMP colours X Y W H    "dark=N" (pixels darker than mid-grey: text), then the five
//                                       most frequent colours, "RRGGBB=N" each, most frequent first
//
// Exit status 1 when the dump cannot be read or the rectangle is not on it.
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "gui/progress_reader.hpp"
#include "gui/xwd_image.hpp"

namespace {

constexpr int kColoursShown = 5;
constexpr uint32_t kMidGrey = 0x80;

bool IsDark(uint32_t p) {
    return ((p >> 16) & 0xFF) < kMidGrey && ((p >> 8) & 0xFF) < kMidGrey && (p & 0xFF) < kMidGrey;
}

void PrintProgress(const XwdImage& screen, int x, int y, int w, int h) {
    const ProgressReading r = ReadProgress(
        [&](int px, int py) {
            // Outside the window: a colour no part of the picture has.
            return px < 0 || py < 0 || px >= w || py >= h ? 0xFF000000u : screen.At(x + px, y + py);
        },
        h);
    std::printf("frame=%d bar=%d percent=%d on_white=%d on_blue=%d\n", r.frame ? 1 : 0, r.barWidth,
                r.percent, r.glyphsOnWhite, r.glyphsOnBlue);
}

void PrintColours(const XwdImage& screen, int x, int y, int w, int h) {
    std::map<uint32_t, int> counts;
    int dark = 0;
    for (int row = y; row < y + h; ++row) {
        for (int col = x; col < x + w; ++col) {
            const uint32_t p = screen.At(col, row);
            ++counts[p];
            dark += IsDark(p) ? 1 : 0;
        }
    }
    std::vector<std::pair<uint32_t, int>> sorted(counts.begin(), counts.end());
    std::sort(sorted.begin(), sorted.end(),
              [](const auto& a, const auto& b) { return a.second > b.second; });
    std::printf("dark=%d", dark);
    for (size_t i = 0; i < sorted.size() && i < kColoursShown; ++i) {
        std::printf(" %06X=%d", sorted[i].first, sorted[i].second);
    }
    std::printf("\n");
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 7) {
        std::fprintf(stderr, "usage: read_screen DUMP progress|colours X Y W H\n");
        return 64;
    }
    const std::string what = argv[2];
    const int x = std::atoi(argv[3]);
    const int y = std::atoi(argv[4]);
    const int w = std::atoi(argv[5]);
    const int h = std::atoi(argv[6]);
    XwdImage screen;
    if (!CaptureScreen(argv[1], &screen)) {
        std::fprintf(stderr, "read_screen: %s is no true-colour X window dump\n", argv[1]);
        return 1;
    }
    if (w <= 0 || h <= 0 || x < 0 || y < 0 || x + w > screen.width || y + h > screen.height) {
        std::fprintf(stderr, "read_screen: %d,%d %dx%d is not on the %dx%d screen\n", x, y, w, h,
                     screen.width, screen.height);
        return 1;
    }
    if (what == "progress") {
        PrintProgress(screen, x, y, w, h);
    } else if (what == "colours") {
        PrintColours(screen, x, y, w, h);
    } else {
        std::fprintf(stderr, "read_screen: no reading \"%s\"\n", what.c_str());
        return 64;
    }
    return 0;
}

// Reads a progress picture back from pixels: the frame, the bar's width and the percentage figure
// (matched cell by cell against the digit strip's glyphs), and how the glyphs are coloured.
#pragma once

#include <cstdint>
#include <functional>

struct ProgressReading {
    bool frame = false;     // black outline where it belongs
    int barWidth = -1;      // blue pixels from x = 10 along a row the figure does not touch
    int percent = -1;       // the figure, or -1 when a cell matches no glyph
    int glyphsOnWhite = 0;  // glyph pixels drawn blue over the white frame
    int glyphsOnBlue = 0;   // glyph pixels drawn white over the bar
};

// `pixel(x, y)` gives 0xRRGGBB in the window's client coordinates; `bottom` is B.
ProgressReading ReadProgress(const std::function<uint32_t(int, int)>& pixel, int bottom);

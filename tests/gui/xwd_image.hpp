// A screen capture read from the X window dump format (as `xwd -root` writes it): 24- or 32-bit
// true-colour pixels as 0xRRGGBB.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

struct XwdImage {
    int width = 0;
    int height = 0;
    std::vector<uint32_t> pixels;
    uint32_t At(int x, int y) const { return pixels[static_cast<size_t>(y * width + x)]; }
};

// Parses a dump; false when it is not a true-colour dump of 24 or 32 bits per pixel.
bool ParseXwd(const std::vector<uint8_t>& bytes, XwdImage* image);

// Reads the whole screen from the X server's screen file (CXvfbServer::ScreenFile). Not `xwd
// -root`: it assembles its picture from separate reads of the windows that have colormaps of
// their own (every GTK window), and under a window manager it shows a dialog over its main window
// black where the screen shows it drawn.
bool CaptureScreen(const std::string& screenFile, XwdImage* image);
// Captures one window (its inside, without decorations); false on failure.
bool CaptureWindow(const std::string& display, const std::string& windowId, XwdImage* image);

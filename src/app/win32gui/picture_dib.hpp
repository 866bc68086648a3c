// A picture of res (0xRRGGBB pixels, top row first) drawn as a 32-bit top-down device-independent
// bitmap: its pixels already have the layout such a bitmap wants.
#pragma once

#include "app/win32gui/windows_api.hpp"

#include "res/res.hpp"

BITMAPINFO DibHeaderFor(const Picture& picture);

// Copies the picture's rows [firstRow, firstRow + rows) to (x, y) of `dc`, pixel for pixel.
void DrawPictureRows(HDC dc, const Picture& picture, int firstRow, int rows, int x, int y);
// Stretches the whole picture onto the rectangle.
void StretchPicture(HDC dc, const Picture& picture, const RECT& target);

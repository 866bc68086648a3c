#include "app/win32gui/picture_dib.hpp"

BITMAPINFO DibHeaderFor(const Picture& picture) {
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = picture.width;
    info.bmiHeader.biHeight = -picture.height;  // top-down
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    return info;
}

void DrawPictureRows(HDC dc, const Picture& picture, int firstRow, int rows, int x, int y) {
    if (firstRow < 0 || rows <= 0 || firstRow + rows > picture.height) {
        return;
    }
    Picture part;
    part.width = picture.width;
    part.height = rows;
    const BITMAPINFO info = DibHeaderFor(part);
    const uint32_t* first = picture.pixels.data() + static_cast<size_t>(firstRow * picture.width);
    SetDIBitsToDevice(dc, x, y, static_cast<DWORD>(picture.width), static_cast<DWORD>(rows), 0, 0,
                      0, static_cast<UINT>(rows), first, &info, DIB_RGB_COLORS);
}

void StretchPicture(HDC dc, const Picture& picture, const RECT& target) {
    const BITMAPINFO info = DibHeaderFor(picture);
    SetStretchBltMode(dc, HALFTONE);
    SetBrushOrgEx(dc, 0, 0, nullptr);
    StretchDIBits(dc, target.left, target.top, target.right - target.left,
                  target.bottom - target.top, 0, 0, picture.width, picture.height,
                  picture.pixels.data(), &info, DIB_RGB_COLORS, SRCCOPY);
}

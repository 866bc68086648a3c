#include "app/gui/picture_bitmap.hpp"

#include <wx/image.h>

wxBitmap BitmapFromPicture(const Picture& picture) {
    wxImage image(picture.width, picture.height, false);
    unsigned char* rgb = image.GetData();
    for (uint32_t pixel : picture.pixels) {
        *rgb++ = static_cast<unsigned char>(pixel >> 16);
        *rgb++ = static_cast<unsigned char>(pixel >> 8);
        *rgb++ = static_cast<unsigned char>(pixel);
    }
    return wxBitmap(image);
}

// Pictures of the resources (0xRRGGBB pixels) as toolkit bitmaps.
#pragma once

#include <wx/bitmap.h>

#include "res/res.hpp"

wxBitmap BitmapFromPicture(const Picture& picture);

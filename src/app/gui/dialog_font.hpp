// The font of the tool's dialogs. Their templates are laid out for Arial: dialog units follow the
// font's average character width, while the progress window's frame is fixed in pixels, so the
// font must measure like Arial.
#pragma once

#include <wx/font.h>
#include <wx/string.h>

// The first installed family of Arial, Liberation Sans and Arimo (both drawn to Arial's
// metrics); empty when none is installed.
wxString ArialMetricFaceName();

// The dialog font in `points`: the Arial-metric family, or the toolkit's sans-serif font when no
// such family is installed.
wxFont DialogFont(int points);

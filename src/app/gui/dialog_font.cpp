#include "app/gui/dialog_font.hpp"

#include <wx/fontenum.h>

wxString ArialMetricFaceName() {
    // Installed families only: the font configuration may answer any name with some other font.
    for (const char* face : {"Arial", "Liberation Sans", "Arimo"}) {
        if (wxFontEnumerator::IsValidFacename(face)) {
            return face;
        }
    }
    return wxString();
}

wxFont DialogFont(int points) {
    static const wxString face = ArialMetricFaceName();
    wxFontInfo info(points);
    if (face.empty()) {
        info.Family(wxFONTFAMILY_SWISS);
    } else {
        info.FaceName(face);
    }
    return wxFont(info);
}

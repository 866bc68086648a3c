#include "app/gui/dialog_colours.hpp"

#include <wx/window.h>

void ApplyDialogColours(wxWindow* window) {
    if (window == nullptr) {
        return;
    }
    window->SetBackgroundColour(wxColour(192, 192, 192));
    window->SetForegroundColour(*wxBLACK);
}

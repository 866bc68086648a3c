// A dialog that the toolkit draws itself (the open-file dialog on GTK): the wx layer neither
// sizes nor moves it, so this reaches the toolkit's window directly.
#pragma once

#include <wx/gdicmn.h>

#include <cstdint>

#include "app/app.hpp"

class wxWindow;

class CNativeDialogWindow final : public IPlaceableWindow {
  public:
    // `decorations`: what the window manager's frame adds to the window's size (an estimate;
    // the frame is known only once the window is shown).
    CNativeDialogWindow(wxWindow& dialog, wxSize decorations);

    // Outer size: the window's own size and the decorations.
    void GetOuterSize(int32_t* width, int32_t* height) override;
    void MoveTo(int32_t left, int32_t top) override;

    // Sizes the window (with its decorations) to fit into `limit`, no smaller than its content
    // needs and no larger than the toolkit would make it.
    void FitInto(wxSize limit);

  private:
    wxWindow& m_dialog;
    wxSize m_decorations;
    wxSize m_fittedSize = wxDefaultSize;  // set by FitInto
};

// The largest outer size of the file dialog over a view: the view less a tenth of its width and
// height on each side, so the dialog, centred, leaves the view's edges and the prompt line free.
wxSize FileDialogLimit(const ViewRect& view);

// The size the dialog takes: its natural size, cut down to `limit`, but never below `minimum`.
wxSize FitDialogSize(wxSize natural, wxSize minimum, wxSize limit);

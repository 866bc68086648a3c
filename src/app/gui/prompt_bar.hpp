// The one-line prompt bar at the top of the main window: the prompt text of the update procedure
// object at (2, 5), black on white, over the bar's grey, with a border line along its bottom.
#pragma once

#include <wx/window.h>

#include "app/app.hpp"

class CPromptBar final : public wxWindow, public IPromptBar {
  public:
    explicit CPromptBar(wxWindow* parent);
    // Invalidates the whole bar and paints it now.
    void Repaint() override;

  private:
    void HandlePaint(wxPaintEvent& event);
};

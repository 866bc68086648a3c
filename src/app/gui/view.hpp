// The view: paints the nested copies of the background picture and, 200 ms after its first
// paint, runs the update (timer 99). When the update returns it tells its owner the outcome and
// sends the main window the close command.
#pragma once

#include <wx/bitmap.h>
#include <wx/timer.h>
#include <wx/window.h>

#include <cstdint>
#include <functional>

#include "app/app.hpp"

class CTk358fwView final : public wxWindow {
  public:
    using OutcomeSink = std::function<void(CFirmwareUpdater::Outcome)>;
    CTk358fwView(wxWindow* parent, OutcomeSink onUpdateEnded);

    // The initial update: the next paint is a first paint again.
    void OnInitialUpdate();
    bool IsUpdateRunning() const { return m_updateRunning; }

  private:
    void HandlePaint(wxPaintEvent& event);
    void HandleTimer(wxTimerEvent& event);

    int32_t m_firstPaint = 0;
    bool m_updateRunning = false;
    wxTimer m_timer;
    wxBitmap m_background;
    OutcomeSink m_onUpdateEnded;
};

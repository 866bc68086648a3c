#include "app/gui/view.hpp"

#include <wx/dcclient.h>
#include <wx/dcmemory.h>

#include "app/desktop/desktop.hpp"
#include "app/gui/picture_bitmap.hpp"

CTk358fwView::CTk358fwView(wxWindow* parent, OutcomeSink onUpdateEnded)
    : wxWindow(parent, wxID_ANY, wxDefaultPosition, wxDefaultSize,
               wxWANTS_CHARS | wxFULL_REPAINT_ON_RESIZE),
      m_timer(this, kUpdateTimerId),
      m_background(BitmapFromPicture(BackgroundPicture())),
      m_onUpdateEnded(std::move(onUpdateEnded)) {
    SetBackgroundColour(*wxWHITE);
    Bind(wxEVT_PAINT, &CTk358fwView::HandlePaint, this);
    Bind(wxEVT_TIMER, &CTk358fwView::HandleTimer, this, kUpdateTimerId);
    OnInitialUpdate();
}

void CTk358fwView::OnInitialUpdate() {
    m_firstPaint = 1;
    Refresh();
}

void CTk358fwView::HandlePaint(wxPaintEvent& /*event*/) {
    wxPaintDC dc(this);
    if (m_firstPaint != 0 && g_pUpdater != nullptr) {
        g_pUpdater->ShowPrompt(PromptSelectPort);
    }
    if (m_background.IsOk()) {
        wxMemoryDC picture(m_background);
        const wxSize client = GetClientSize();
        for (const PaintRect& r : NestedBackgroundRects(client.GetWidth(), client.GetHeight())) {
            dc.StretchBlit(r.left, r.top, r.Width(), r.Height(), &picture, 0, 0, kBackgroundWidth,
                           kBackgroundHeight);
        }
    }
    if (m_firstPaint != 0) {
        m_timer.Start(kUpdateTimerMs);
        m_firstPaint = 0;
    }
}

void CTk358fwView::HandleTimer(wxTimerEvent& /*event*/) {
    m_timer.Stop();
    if (g_pUpdater == nullptr || m_updateRunning) {
        return;
    }
    m_updateRunning = true;
    const CFirmwareUpdater::Outcome outcome = g_pUpdater->RunUpdate();
    m_updateRunning = false;
    if (m_onUpdateEnded) {
        m_onUpdateEnded(outcome);
    }
    wxWindow* frame = wxGetTopLevelParent(this);
    if (frame != nullptr) {
        wxCommandEvent close(wxEVT_MENU, kCommandCloseTool);
        close.SetEventObject(this);
        frame->GetEventHandler()->ProcessEvent(close);
    }
}

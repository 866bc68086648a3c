#include "app/gui/prompt_bar.hpp"

#include <wx/dcclient.h>

#include "app/desktop/desktop.hpp"
#include "res/res.hpp"

CPromptBar::CPromptBar(wxWindow* parent)
    : wxWindow(parent, wxID_ANY, wxDefaultPosition, wxDefaultSize, wxFULL_REPAINT_ON_RESIZE) {
    SetBackgroundColour(wxColour(192, 192, 192));
    const int height = ConvertDialogToPixels(wxSize(0, kPromptBarHeightDlu)).GetHeight();
    SetMinSize(wxSize(-1, height));
    Bind(wxEVT_PAINT, &CPromptBar::HandlePaint, this);
}

void CPromptBar::Repaint() {
    Refresh(true);
    Update();
}

void CPromptBar::HandlePaint(wxPaintEvent& /*event*/) {
    wxPaintDC dc(this);
    const wxSize size = GetClientSize();
    dc.SetPen(wxPen(wxColour(128, 128, 128)));
    dc.DrawLine(0, size.GetHeight() - 1, size.GetWidth(), size.GetHeight() - 1);
    if (g_pUpdater == nullptr || g_pUpdater->m_promptText.empty()) {
        return;
    }
    dc.SetFont(GetFont());
    dc.SetBackgroundMode(wxBRUSHSTYLE_SOLID);
    dc.SetTextBackground(*wxWHITE);
    dc.SetTextForeground(*wxBLACK);
    dc.DrawText(wxString::FromUTF8(PromptLineText(g_pUpdater->m_promptText)), kPromptTextX,
                kPromptTextY);
}

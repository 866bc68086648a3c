#include "app/gui/progress_dialog.hpp"

#include <wx/dcclient.h>

#include "app/gui/paint_yield.hpp"
#include "app/gui/picture_bitmap.hpp"
#include "app/gui/progress_picture.hpp"

namespace {

constexpr uint32_t kDialogGrey = 0xC0C0C0;

}  // namespace

CProgressDialog::CProgressDialog(wxWindow* parent) : CTemplateDialog(parent, kDialogProgress) {
    Bind(wxEVT_PAINT, &CProgressDialog::HandlePaint, this);
    Show();
}

void CProgressDialog::ShowProgress(uint32_t /*stage*/, int16_t percent, const char* text) {
    if (text != nullptr && m_text != text) {
        m_text = text;
        SetControlText(kTextControlId, m_text);
    }
    const wxSize client = GetClientSize();
    if (m_canvas.width != client.GetWidth() || m_canvas.height != client.GetHeight()) {
        m_canvas.width = client.GetWidth();
        m_canvas.height = client.GetHeight();
        m_canvas.pixels.assign(static_cast<size_t>(m_canvas.width * m_canvas.height), kDialogGrey);
    }
    ComposeProgressPicture(m_canvas, percent, &DigitStripPicture());
    m_bitmap = BitmapFromPicture(m_canvas);
    Refresh(false);
    Update();
    LetPaintEventsThrough();
}

void CProgressDialog::HandlePaint(wxPaintEvent& /*event*/) {
    wxPaintDC dc(this);
    if (m_bitmap.IsOk()) {
        dc.DrawBitmap(m_bitmap, 0, 0);
    }
}

void CProgressWindow::ShowProgress(uint32_t stage, int16_t percent, const char* text) {
    if (m_dialog) {
        m_dialog->ShowProgress(stage, percent, text);
    }
}

void CProgressWindow::CloseProgress() {
    if (m_dialog) {
        CProgressDialog* dialog = m_dialog.get();
        m_dialog.Release();
        dialog->Destroy();
        LetPaintEventsThrough();
    }
}

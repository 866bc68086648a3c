#include "app/gui/progress_dialog.hpp"

#include <algorithm>
#include <cstddef>

#include "app/desktop/desktop.hpp"
#include "app/gui/paint_yield.hpp"
#include "app/gui/picture_bitmap.hpp"

namespace {

constexpr uint32_t kDialogGrey = 0xC0C0C0;
// The frame starts 31 rows above the bottom; the picture control covers the rows from 32 above.
constexpr int kPictureRows = 32;

Picture BottomRows(const Picture& canvas, int rows) {
    Picture part;
    part.width = canvas.width;
    part.height = rows;
    const auto first = static_cast<size_t>((canvas.height - rows) * canvas.width);
    part.pixels.assign(canvas.pixels.begin() + static_cast<std::ptrdiff_t>(first),
                       canvas.pixels.end());
    return part;
}

}  // namespace

CProgressDialog::CProgressDialog(wxWindow* parent) : CTemplateDialog(parent, kDialogProgress) {
    // A font narrower than the dialog font was made for must not clip the frame: the window is
    // at least as wide as the frame with a right margin as wide as its left one.
    wxSize client = GetClientSize();
    if (client.GetWidth() < kProgressFrameRight + kProgressFrameLeft) {
        client.SetWidth(kProgressFrameRight + kProgressFrameLeft);
        SetClientSize(client);
    }
    m_canvas.width = client.GetWidth();
    m_canvas.height = std::max(client.GetHeight(), kPictureRows);
    m_canvas.pixels.assign(static_cast<size_t>(m_canvas.width * m_canvas.height), kDialogGrey);
    m_picture = new wxStaticBitmap(
        this, wxID_ANY, BitmapFromPicture(BottomRows(m_canvas, kPictureRows)),
        wxPoint(0, m_canvas.height - kPictureRows), wxSize(m_canvas.width, kPictureRows));
    Show();
}

void CProgressDialog::ShowProgress(uint32_t /*stage*/, int16_t percent, const char* text) {
    if (text != nullptr && m_text != text) {
        m_text = text;
        SetControlText(kTextControlId, m_text);
    }
    ComposeProgressPicture(m_canvas, percent, &DigitStripPicture());
    m_picture->SetBitmap(BitmapFromPicture(BottomRows(m_canvas, kPictureRows)));
    m_picture->Refresh();
    m_picture->Update();
    LetPaintEventsThrough();
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

#include "app/win32gui/progress_window.hpp"

#include <algorithm>

#include "app/desktop/desktop.hpp"
#include "app/win32gui/picture_dib.hpp"

namespace {

constexpr uint32_t kCanvasGrey = 0xC0C0C0;
// The frame starts 31 rows above the bottom; the picture covers the rows from 32 above, below
// the text.
constexpr int kPictureRows = 32;

}  // namespace

void CProgressDialog::OnOpen() {
    // A font narrower than the one the template was made for must not clip the frame: the window
    // is at least as wide as the frame with a right margin as wide as its left one.
    RECT client{};
    GetClientRect(Window(), &client);
    if (client.right < kProgressFrameRight + kProgressFrameLeft) {
        RECT outer{};
        GetWindowRect(Window(), &outer);
        const int grow = kProgressFrameRight + kProgressFrameLeft - client.right;
        SetWindowPos(Window(), nullptr, 0, 0, outer.right - outer.left + grow,
                     outer.bottom - outer.top, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
        GetClientRect(Window(), &client);
    }
    m_canvas.width = client.right;
    m_canvas.height = std::max(static_cast<int>(client.bottom), kPictureRows);
    m_canvas.pixels.assign(static_cast<size_t>(m_canvas.width * m_canvas.height), kCanvasGrey);
}

void CProgressDialog::ShowProgress(int16_t percent, const char* text) {
    if (Window() == nullptr) {
        return;
    }
    if (text != nullptr && m_text != text) {
        m_text = text;
        SetControlText(kTextControlId, m_text);
    }
    ComposeProgressPicture(m_canvas, percent, &DigitStripPicture());
    if (const HDC dc = GetDC(Window())) {
        DrawPicture(dc);
        ReleaseDC(Window(), dc);
    }
    UpdateWindow(Window());
}

void CProgressDialog::DrawPicture(HDC dc) const {
    const int first = m_canvas.height - kPictureRows;
    DrawPictureRows(dc, m_canvas, first, kPictureRows, 0, first);
}

bool CProgressDialog::OnMessage(UINT message, WPARAM /*wParam*/, LPARAM /*lParam*/) {
    if (message != WM_PAINT) {
        return false;
    }
    PAINTSTRUCT paint;
    const HDC dc = BeginPaint(Window(), &paint);
    DrawPicture(dc);
    EndPaint(Window(), &paint);
    return true;
}

void CProgressWindow::ShowProgress(uint32_t /*stage*/, int16_t percent, const char* text) {
    if (m_dialog) {
        m_dialog->ShowProgress(percent, text);
    }
}

void CProgressWindow::CloseProgress() {
    m_dialog.reset();
}

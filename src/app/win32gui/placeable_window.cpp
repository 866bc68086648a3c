#include "app/win32gui/placeable_window.hpp"

void CPlaceableWindow::GetOuterSize(int32_t* width, int32_t* height) {
    RECT outer{};
    GetWindowRect(m_window, &outer);
    *width = outer.right - outer.left;
    *height = outer.bottom - outer.top;
}

void CPlaceableWindow::MoveTo(int32_t left, int32_t top) {
    SetWindowPos(m_window, nullptr, left, top, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    RedrawWindow(m_window, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN);
    UpdateWindow(m_window);
}

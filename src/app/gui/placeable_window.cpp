#include "app/gui/placeable_window.hpp"

#include <wx/window.h>

void CPlaceableWindow::GetOuterSize(int32_t* width, int32_t* height) {
    const wxSize size = m_window.GetSize();
    *width = size.GetWidth();
    *height = size.GetHeight();
}

void CPlaceableWindow::MoveTo(int32_t left, int32_t top) {
    m_window.Move(left, top);
    m_window.Refresh();
    m_window.Update();
}

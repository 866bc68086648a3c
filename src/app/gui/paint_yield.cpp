#include "app/gui/paint_yield.hpp"

#include <wx/evtloop.h>

void LetPaintEventsThrough() {
    wxEventLoopBase* loop = wxEventLoopBase::GetActive();
    if (loop != nullptr) {
        loop->YieldFor(wxEVT_CATEGORY_UI);
    }
}

#include "app/gui/paint_yield.hpp"

#include <wx/event.h>
#include <wx/eventfilter.h>
#include <wx/evtloop.h>

namespace {

// While installed, every key, mouse and command event counts as handled before any window sees
// it.
class CInputSwallower final : public wxEventFilter {
  public:
    CInputSwallower() { wxEvtHandler::AddFilter(this); }
    ~CInputSwallower() override { wxEvtHandler::RemoveFilter(this); }
    CInputSwallower(const CInputSwallower&) = delete;
    CInputSwallower& operator=(const CInputSwallower&) = delete;

    int FilterEvent(wxEvent& event) override {
        return event.GetEventCategory() == wxEVT_CATEGORY_USER_INPUT ? Event_Processed : Event_Skip;
    }
};

}  // namespace

void LetPaintEventsThrough() {
    wxEventLoopBase* loop = wxEventLoopBase::GetActive();
    if (loop != nullptr) {
        loop->YieldFor(wxEVT_CATEGORY_UI);
    }
}

void DiscardHeldBackInput() {
    wxEventLoopBase* loop = wxEventLoopBase::GetActive();
    if (loop != nullptr) {
        const CInputSwallower swallower;
        loop->YieldFor(wxEVT_CATEGORY_UI | wxEVT_CATEGORY_USER_INPUT);
    }
}

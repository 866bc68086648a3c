#include "app/gui/message_box.hpp"

#include <wx/msgdlg.h>
// (the generic box needs the common message dialog declarations first)
#include <wx/generic/msgdlgg.h>
#include <wx/utils.h>

#include "app/gui/dialog_colours.hpp"
#include "res/res.hpp"

void ShowMessageBox(wxWindow* owner, const std::string& text, const std::string& extendedText) {
    wxBell();
    wxGenericMessageDialog box(owner, wxString::FromUTF8(text),
                               wxString::FromUTF8(LoadString(kStrTitle)),
                               wxOK | wxICON_INFORMATION | wxCENTRE);
    if (!extendedText.empty()) {
        box.SetExtendedMessage(wxString::FromUTF8(extendedText));
    }
    ApplyDialogColours(&box);
    box.ShowModal();
}

#include "app/gui/message_box.hpp"

#include <wx/msgdlg.h>
// (the generic box needs the common message dialog declarations first)
#include <wx/generic/msgdlgg.h>
#include <wx/utils.h>

#include "app/desktop/desktop.hpp"
#include "app/gui/dialog_colours.hpp"
#include "res/res.hpp"

void ShowMessageBox(wxWindow* owner, const std::string& text, const std::string& extendedText,
                    const std::string& document) {
    wxBell();
    const long buttons = document.empty() ? wxOK : wxOK | wxHELP;
    wxGenericMessageDialog box(owner, wxString::FromUTF8(text),
                               wxString::FromUTF8(LoadString(kStrTitle)),
                               buttons | wxICON_INFORMATION | wxCENTRE);
    if (!extendedText.empty()) {
        box.SetExtendedMessage(wxString::FromUTF8(extendedText));
    }
    if (!document.empty()) {
        box.SetHelpLabel(wxString::FromUTF8(kOpenRetryProcedureLabel));
    }
    ApplyDialogColours(&box);
    // The second button opens the document; the box stays until OK (or Escape).
    while (box.ShowModal() == wxID_HELP) {
        wxLaunchDefaultApplication(wxString::FromUTF8(document));
    }
}

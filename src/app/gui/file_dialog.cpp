#include "app/gui/file_dialog.hpp"

#include "app/app.hpp"
#include "app/gui/native_dialog.hpp"
#include "app/gui/wildcard.hpp"

CFirmwareFileDialog::CFirmwareFileDialog(wxWindow* parent, const std::string& filter,
                                         const std::string& initialName)
    : wxFileDialog(parent, wxFileSelectorPromptStr, wxEmptyString, wxString::FromUTF8(initialName),
                   wxString::FromUTF8(WildcardFromFilter(filter)),
                   wxFD_OPEN | wxFD_FILE_MUST_EXIST) {
    // The toolkit sets the dialog's size as it shows it: it is fitted once it is shown.
    Bind(wxEVT_SHOW, &CFirmwareFileDialog::HandleShow, this);
}

void CFirmwareFileDialog::HandleShow(wxShowEvent& event) {
    event.Skip();
    if (event.IsShown()) {
        FitAndCenterOverView();
    }
}

void CFirmwareFileDialog::FitAndCenterOverView() {
    if (g_pUpdater == nullptr) {
        return;
    }
    // The owner's frame stands for the dialog's: both come from the same window manager.
    const wxWindow* owner = GetParent();
    const wxSize decorations =
        owner != nullptr ? owner->GetSize() - owner->GetClientSize() : wxSize();
    CNativeDialogWindow window(*this, decorations);
    window.FitInto(FileDialogLimit(g_pUpdater->m_viewRect));
    g_pUpdater->CenterInView(&window);
}

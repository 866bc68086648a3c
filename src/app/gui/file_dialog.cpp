#include "app/gui/file_dialog.hpp"

#include "app/app.hpp"
#include "app/gui/placeable_window.hpp"
#include "app/gui/wildcard.hpp"

CFirmwareFileDialog::CFirmwareFileDialog(wxWindow* parent, const std::string& filter,
                                         const std::string& initialName)
    : wxFileDialog(parent, wxFileSelectorPromptStr, wxEmptyString, wxString::FromUTF8(initialName),
                   wxString::FromUTF8(WildcardFromFilter(filter)),
                   wxFD_OPEN | wxFD_FILE_MUST_EXIST) {
    Bind(wxEVT_INIT_DIALOG, &CFirmwareFileDialog::HandleInit, this);
}

void CFirmwareFileDialog::HandleInit(wxInitDialogEvent& event) {
    event.Skip();
    if (g_pUpdater != nullptr) {
        CPlaceableWindow placeable(*this);
        g_pUpdater->CenterInView(&placeable);
    }
}

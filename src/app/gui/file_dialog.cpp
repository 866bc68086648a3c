#include "app/gui/file_dialog.hpp"

#include "app/app.hpp"
#include "app/gui/placeable_window.hpp"
#include "app/gui/wildcard.hpp"

namespace {

// Small enough for a 800 x 600 screen.
const wxSize kFileDialogSize(720, 480);

}  // namespace

CFirmwareFileDialog::CFirmwareFileDialog(wxWindow* parent, const std::string& filter,
                                         const std::string& initialName)
    : wxFileDialog(parent, wxFileSelectorPromptStr, wxEmptyString, wxString::FromUTF8(initialName),
                   wxString::FromUTF8(WildcardFromFilter(filter)), wxFD_OPEN | wxFD_FILE_MUST_EXIST,
                   wxDefaultPosition, kFileDialogSize) {
    Bind(wxEVT_INIT_DIALOG, &CFirmwareFileDialog::HandleInit, this);
    // The toolkit's dialog may not announce its opening: place it before it is shown, too.
    CenterOverView();
}

void CFirmwareFileDialog::HandleInit(wxInitDialogEvent& event) {
    event.Skip();
    CenterOverView();
}

void CFirmwareFileDialog::CenterOverView() {
    if (g_pUpdater != nullptr) {
        CPlaceableWindow placeable(*this);
        g_pUpdater->CenterInView(&placeable);
    }
}

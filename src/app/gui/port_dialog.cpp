#include "app/gui/port_dialog.hpp"

#include <wx/radiobut.h>

#include "app/app.hpp"
#include "app/desktop/desktop.hpp"

CPortDialog::CPortDialog(wxWindow* parent) : CTemplateDialog(parent, kDialogPort) {}

void CPortDialog::OnOpen() {
    for (int id = kRadioCom1; id <= kRadioAuto; ++id) {
        if (auto* radio = dynamic_cast<wxRadioButton*>(Control(id))) {
            radio->SetValue(id == kRadioAuto);
        }
    }
    // Each COM button names the device it stands for.
    if (g_pUpdater != nullptr) {
        const PortMap& ports = g_pUpdater->Ports();
        for (int id = kRadioCom1; id <= kRadioCom4; ++id) {
            if (wxWindow* radio = Control(id)) {
                const int portNumber = PortFromCheckedRadio(id, 0);
                radio->SetToolTip(wxString::FromUTF8(
                    PortLine(portNumber, ports.com[static_cast<size_t>(portNumber - 1)], 0)));
            }
        }
    }
}

void CPortDialog::OnAccept() {
    int checked = 0;
    for (int id = kRadioCom1; id <= kRadioAuto; ++id) {
        auto* radio = dynamic_cast<wxRadioButton*>(Control(id));
        if (radio != nullptr && radio->GetValue()) {
            checked = id;
            break;
        }
    }
    m_port = PortFromCheckedRadio(checked, m_port);
    if (g_pUpdater != nullptr) {
        g_pUpdater->ShowPrompt(PromptSearching);
    }
}

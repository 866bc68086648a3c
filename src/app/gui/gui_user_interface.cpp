#include "app/gui/gui_user_interface.hpp"

#include <wx/utils.h>

#include "app/desktop/desktop.hpp"
#include "app/gui/file_dialog.hpp"
#include "app/gui/message_box.hpp"
#include "app/gui/paint_yield.hpp"
#include "app/gui/port_dialog.hpp"
#include "app/gui/progress_dialog.hpp"
#include "app/gui/text_dialogs.hpp"

ViewRect CGuiUserInterface::ViewClientRect() {
    const wxSize size = m_view->GetClientSize();
    return ViewRect{0, 0, size.GetWidth(), size.GetHeight()};
}

void CGuiUserInterface::RepaintView() {
    m_view->Update();
    LetPaintEventsThrough();
}

int CGuiUserInterface::RunPortDialog(int16_t* port) {
    CPortDialog dialog(m_owner);
    const int result = dialog.ShowModal();
    if (result != kDialogOk) {
        return kDialogQuit;
    }
    *port = dialog.m_port;
    return kDialogOk;
}

int CGuiUserInterface::RunTextDialog(DialogId dialog, const std::string& text) {
    if (ResultShownWithoutWaiting()) {
        // A stop request came during the transfer: the tool ends with the result, unasked.
        return dialog == kDialogSuccess ? kDialogOk : kDialogQuit;
    }
    std::unique_ptr<CTextDialog> window = MakeTextDialog(m_owner, dialog, text);
    if (!window) {
        return kDialogQuit;
    }
    return window->ShowModal() == kDialogOk ? kDialogOk : kDialogQuit;
}

void CGuiUserInterface::ShowMessage(const std::string& text, const std::string& extendedText) {
    if (ResultShownWithoutWaiting()) {
        return;
    }
    const MessageBoxContent content = DesktopMessageBox(text, extendedText, m_retryProcedure);
    ShowMessageBox(m_owner, text, content.extendedText, content.document);
}

int16_t CGuiUserInterface::ChooseFile(const std::string& filter, const std::string& initialName,
                                      std::string* path) {
    CFirmwareFileDialog dialog(m_owner, filter, initialName);
    if (dialog.ShowModal() != wxID_OK) {
        return kChooseCancelled;
    }
    *path = std::string(dialog.GetPath().fn_str());
    return kChooseOk;
}

void CGuiUserInterface::BeginWaitCursor() {
    wxBeginBusyCursor();
}

void CGuiUserInterface::EndWaitCursor() {
    if (wxIsBusy()) {
        wxEndBusyCursor();
    }
    // The busy cursor covered the search or the transfer, during which only painting got
    // through: what was typed or clicked meanwhile must not answer the dialog that follows.
    DiscardHeldBackInput();
}

std::unique_ptr<IProgressWindow> CGuiUserInterface::CreateProgressWindow() {
    return std::make_unique<CProgressWindow>(new CProgressDialog(m_owner));
}

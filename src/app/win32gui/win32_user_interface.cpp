#include "app/win32gui/win32_user_interface.hpp"

#include "app/win32gui/file_dialog.hpp"
#include "app/win32gui/message_box.hpp"
#include "app/win32gui/paint_pump.hpp"
#include "app/win32gui/port_dialog.hpp"
#include "app/win32gui/progress_window.hpp"
#include "app/win32gui/text_dialog.hpp"

ViewRect CWin32UserInterface::ViewClientRect() {
    RECT client{};
    GetClientRect(m_view, &client);
    return ViewRect{0, 0, client.right, client.bottom};
}

void CWin32UserInterface::RepaintView() {
    UpdateWindow(m_view);
}

int CWin32UserInterface::RunPortDialog(int16_t* port) {
    m_pump.DiscardInputHeldBack();
    CPortDialog dialog;
    if (dialog.RunModal(m_owner) != kDialogOk) {
        return kDialogQuit;
    }
    *port = dialog.m_port;
    return kDialogOk;
}

int CWin32UserInterface::RunTextDialog(DialogId dialog, const std::string& text) {
    if (!IsTextDialog(dialog)) {
        return kDialogQuit;
    }
    m_pump.DiscardInputHeldBack();
    CTextDialog window(dialog, text);
    return window.RunModal(m_owner);
}

void CWin32UserInterface::ShowMessage(const std::string& text, const std::string& extendedText) {
    m_pump.DiscardInputHeldBack();
    std::string extended = extendedText;
    std::string document;
    if (text == LoadString(kStrUpdateFailed) && !m_retryProcedure.empty()) {
        if (!extended.empty() && extended.back() != '\n') {
            extended += '\n';
        }
        extended += "The retry procedure: " + m_retryProcedure;
        document = m_retryProcedure;
    }
    ShowMessageBox(m_owner, text, extended, document);
}

int16_t CWin32UserInterface::ChooseFile(const std::string& filter, const std::string& initialName,
                                        std::string* path) {
    m_pump.DiscardInputHeldBack();
    return ChooseFileWithDialog(m_owner, filter, initialName, path);
}

void CWin32UserInterface::BeginWaitCursor() {
    const HCURSOR previous = SetCursor(LoadCursorW(nullptr, IDC_WAIT));
    ShowCursor(TRUE);
    if (m_waitCursorCount++ == 0) {
        m_cursorBeforeWait = previous;
    }
}

void CWin32UserInterface::EndWaitCursor() {
    if (m_waitCursorCount == 0) {
        return;
    }
    ShowCursor(FALSE);
    if (--m_waitCursorCount == 0) {
        SetCursor(m_cursorBeforeWait != nullptr ? m_cursorBeforeWait
                                                : LoadCursorW(nullptr, IDC_ARROW));
    }
}

std::unique_ptr<IProgressWindow> CWin32UserInterface::CreateProgressWindow() {
    auto dialog = std::make_unique<CProgressDialog>();
    if (!dialog->CreateModeless(m_owner)) {
        return nullptr;
    }
    return std::make_unique<CProgressWindow>(std::move(dialog));
}

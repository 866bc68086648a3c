#include "app/win32gui/port_dialog.hpp"

#include <commctrl.h>

#include <string>

#include "app/app.hpp"
#include "app/desktop/desktop.hpp"
#include "app/win32_utf8.hpp"
#include "app/win32gui/wide_text.hpp"

void CPortDialog::OnOpen() {
    CheckRadioButton(Window(), kRadioCom1, kRadioAuto, kRadioAuto);
    if (g_pUpdater == nullptr) {
        return;
    }
    // Each COM button names the device it stands for.
    m_toolTips = CreateWindowExW(WS_EX_TOPMOST, TOOLTIPS_CLASSW, nullptr,
                                 WS_POPUP | TTS_ALWAYSTIP | TTS_NOPREFIX, CW_USEDEFAULT,
                                 CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, Window(), nullptr,
                                 GetModuleHandleW(nullptr), nullptr);
    if (m_toolTips == nullptr) {
        return;
    }
    const PortMap& ports = g_pUpdater->Ports();
    for (int id = kRadioCom1; id <= kRadioCom4; ++id) {
        const int portNumber = PortFromCheckedRadio(id, 0);
        std::wstring text = win32_utf8::ToWide(
            PortLine(portNumber, ports.com[static_cast<size_t>(portNumber - 1)], 0));
        TTTOOLINFOW tool{};
        tool.cbSize = sizeof tool;
        tool.uFlags = TTF_IDISHWND | TTF_SUBCLASS;
        tool.hwnd = Window();
        tool.uId = reinterpret_cast<UINT_PTR>(GetDlgItem(Window(), id));
        tool.lpszText = text.data();  // copied by the tooltip control
        SendMessageW(m_toolTips, TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&tool));
    }
}

void CPortDialog::OnAccept() {
    int checked = 0;
    for (int id = kRadioCom1; id <= kRadioAuto; ++id) {
        if (IsDlgButtonChecked(Window(), id) == BST_CHECKED) {
            checked = id;
            break;
        }
    }
    m_port = PortFromCheckedRadio(checked, m_port);
    if (g_pUpdater != nullptr) {
        g_pUpdater->ShowPrompt(PromptSearching);
    }
}

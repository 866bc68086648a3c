#include "app/win32gui/message_box.hpp"

#include <commctrl.h>
#include <shellapi.h>

#include "app/desktop/desktop.hpp"
#include "app/win32_utf8.hpp"
#include "app/win32gui/wide_text.hpp"
#include "app/win32gui/win32gui.hpp"
#include "res/res.hpp"

namespace {

using TaskDialogIndirectFunction = HRESULT(WINAPI*)(const TASKDIALOGCONFIG*, int*, int*, BOOL*);

// The task dialog comes with common controls 6 (the application manifest asks for them); without
// them the plain message box shows the same texts.
TaskDialogIndirectFunction FindTaskDialog() {
    const HMODULE controls = GetModuleHandleW(L"comctl32.dll");
    if (controls == nullptr) {
        return nullptr;
    }
    return reinterpret_cast<TaskDialogIndirectFunction>(
        reinterpret_cast<void*>(GetProcAddress(controls, "TaskDialogIndirect")));
}

HRESULT CALLBACK OnTaskDialogEvent(HWND window, UINT event, WPARAM wParam, LPARAM /*lParam*/,
                                   LONG_PTR data) {
    if (event == TDN_BUTTON_CLICKED && static_cast<int>(wParam) == kOpenDocumentButton) {
        const auto* document = reinterpret_cast<const std::wstring*>(data);
        ShellExecuteW(window, L"open", document->c_str(), nullptr, nullptr, SW_SHOWNORMAL);
        return S_FALSE;  // the box stays
    }
    return S_OK;
}

}  // namespace

void ShowMessageBox(HWND owner, const std::string& text, const std::string& extendedText,
                    const std::string& document) {
    MessageBeep(0xFFFFFFFF);
    const std::wstring title = win32_utf8::ToWide(LoadString(kStrTitle));
    const std::wstring content = win32_utf8::ToWide(WithCrLf(text));
    const std::wstring extended = win32_utf8::ToWide(WithCrLf(extendedText));
    const std::wstring documentPath = win32_utf8::ToWide(document);

    if (const TaskDialogIndirectFunction taskDialog = FindTaskDialog()) {
        const std::wstring openCaption = win32_utf8::ToWide(kOpenRetryProcedureLabel);
        const TASKDIALOG_BUTTON openButton{kOpenDocumentButton, openCaption.c_str()};
        TASKDIALOGCONFIG config{};
        config.cbSize = sizeof config;
        config.hwndParent = owner;
        config.hInstance = GetModuleHandleW(nullptr);
        config.dwFlags = TDF_ALLOW_DIALOG_CANCELLATION | TDF_POSITION_RELATIVE_TO_WINDOW |
                         TDF_EXPANDED_BY_DEFAULT;
        config.dwCommonButtons = TDCBF_OK_BUTTON;
        config.pszWindowTitle = title.c_str();
        config.pszMainIcon = TD_INFORMATION_ICON;
        config.pszContent = content.c_str();
        if (!extended.empty()) {
            config.pszExpandedInformation = extended.c_str();
        }
        if (!documentPath.empty()) {
            config.cButtons = 1;
            config.pButtons = &openButton;
        }
        config.nDefaultButton = IDOK;
        config.pfCallback = OnTaskDialogEvent;
        config.lpCallbackData = reinterpret_cast<LONG_PTR>(&documentPath);
        if (SUCCEEDED(taskDialog(&config, nullptr, nullptr, nullptr))) {
            return;
        }
    }
    std::wstring whole = content;
    if (!extended.empty()) {
        whole += L"\r\n\r\n" + extended;
    }
    MessageBoxW(owner, whole.c_str(), title.c_str(), MB_OK | MB_ICONINFORMATION);
}

void ShowProgramText(const std::string& text) {
    MessageBoxW(nullptr, win32_utf8::ToWide(WithCrLf(text)).c_str(),
                win32_utf8::ToWide(LoadString(kStrTitle)).c_str(), MB_OK | MB_ICONINFORMATION);
}

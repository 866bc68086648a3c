#include "app/win32gui/file_dialog.hpp"

#include <commdlg.h>

#include <algorithm>
#include <vector>

#include "app/app.hpp"
#include "app/win32_utf8.hpp"
#include "app/win32gui/placeable_window.hpp"
#include "app/win32gui/wide_text.hpp"

namespace {

// Long paths fit (the dialog reports a buffer too small otherwise).
constexpr size_t kPathCharacters = 32768;

UINT_PTR CALLBACK OnDialogEvent(HWND hook, UINT message, WPARAM /*wParam*/, LPARAM lParam) {
    if (message == WM_NOTIFY && reinterpret_cast<const NMHDR*>(lParam)->code == CDN_INITDONE &&
        g_pUpdater != nullptr) {
        // The hook's window is a child of the dialog.
        CPlaceableWindow dialog(GetParent(hook));
        g_pUpdater->CenterInView(&dialog);
    }
    return 0;
}

}  // namespace

std::wstring OpenDialogFilter(const std::string& filter) {
    std::vector<std::string> fields(1);
    for (char c : filter) {
        if (c == '|') {
            fields.emplace_back();
        } else {
            fields.back() += c;
        }
    }
    std::wstring list;
    for (size_t i = 0; i + 1 < fields.size() && !fields[i].empty(); i += 2) {
        list += win32_utf8::ToWide(fields[i]) + L'\0' + win32_utf8::ToWide(fields[i + 1]) + L'\0';
    }
    if (list.empty()) {
        list = std::wstring(L"*.*") + L'\0' + L"*.*" + L'\0';
    }
    return list + L'\0';
}

int16_t ChooseFileWithDialog(HWND owner, const std::string& filter, const std::string& initialName,
                             std::string* path) {
    const std::wstring filterList = OpenDialogFilter(filter);
    std::vector<wchar_t> file(kPathCharacters, L'\0');
    const std::wstring initial = win32_utf8::ToWide(initialName);
    initial.copy(file.data(), std::min(initial.size(), file.size() - 1));

    OPENFILENAMEW dialog{};
    dialog.lStructSize = sizeof dialog;
    dialog.hwndOwner = owner;
    dialog.hInstance = GetModuleHandleW(nullptr);
    dialog.lpstrFilter = filterList.c_str();
    dialog.nFilterIndex = 1;
    dialog.lpstrFile = file.data();
    dialog.nMaxFile = static_cast<DWORD>(file.size());
    dialog.Flags =
        OFN_FILEMUSTEXIST | OFN_HIDEREADONLY | OFN_EXPLORER | OFN_ENABLEHOOK | OFN_ENABLESIZING;
    dialog.lpfnHook = OnDialogEvent;
    if (GetOpenFileNameW(&dialog)) {
        *path = win32_utf8::FromWide(file.data());
        return kChooseOk;
    }
    return CommDlgExtendedError() == 0 ? kChooseCancelled : kChooseDialogFailed;
}

#include "app/win32gui/template_dialog.hpp"

#include "app/app.hpp"
#include "app/win32_utf8.hpp"
#include "app/win32gui/dialog_template_builder.hpp"
#include "app/win32gui/placeable_window.hpp"
#include "app/win32gui/wide_text.hpp"

CTemplateDialog::~CTemplateDialog() {
    Destroy();
}

int CTemplateDialog::RunModal(HWND owner) {
    const DialogTemplate* dialog = FindDialogTemplate(m_templateId);
    if (dialog == nullptr) {
        return kDialogQuit;
    }
    const CDialogTemplateMemory memory(*dialog, win32_utf8::ToWide(LoadString(kStrTitle)));
    m_modal = true;
    const INT_PTR result = DialogBoxIndirectParamW(GetModuleHandleW(nullptr), memory.Get(), owner,
                                                   DialogProc, reinterpret_cast<LPARAM>(this));
    m_modal = false;
    m_window = nullptr;
    return result == kDialogOk ? kDialogOk : kDialogQuit;
}

bool CTemplateDialog::CreateModeless(HWND owner) {
    const DialogTemplate* dialog = FindDialogTemplate(m_templateId);
    if (dialog == nullptr) {
        return false;
    }
    const CDialogTemplateMemory memory(*dialog, win32_utf8::ToWide(LoadString(kStrTitle)));
    m_modal = false;
    return CreateDialogIndirectParamW(GetModuleHandleW(nullptr), memory.Get(), owner, DialogProc,
                                      reinterpret_cast<LPARAM>(this)) != nullptr;
}

void CTemplateDialog::Destroy() {
    if (m_window != nullptr && !m_modal) {
        const HWND window = m_window;
        m_window = nullptr;
        SetWindowLongPtrW(window, DWLP_USER, 0);
        DestroyWindow(window);
    }
}

void CTemplateDialog::SetControlText(int controlId, const std::string& text) {
    SetDlgItemTextW(m_window, controlId, win32_utf8::ToWide(WithCrLf(text)).c_str());
}

void CTemplateDialog::EndModal(int result) {
    if (m_modal) {
        EndDialog(m_window, result);
    }
}

INT_PTR CALLBACK CTemplateDialog::DialogProc(HWND window, UINT message, WPARAM wParam,
                                             LPARAM lParam) {
    if (message == WM_INITDIALOG) {
        SetWindowLongPtrW(window, DWLP_USER, lParam);
        reinterpret_cast<CTemplateDialog*>(lParam)->m_window = window;
    }
    auto* self = reinterpret_cast<CTemplateDialog*>(GetWindowLongPtrW(window, DWLP_USER));
    return self != nullptr ? self->Handle(message, wParam, lParam) : FALSE;
}

INT_PTR CTemplateDialog::Handle(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_INITDIALOG:
            OnOpen();
            if (g_pUpdater != nullptr) {
                CPlaceableWindow placeable(m_window);
                g_pUpdater->CenterInView(&placeable);
            }
            return TRUE;  // the system sets the initial focus
        case WM_CTLCOLORDLG:
        case WM_CTLCOLORSTATIC:
        case WM_CTLCOLORBTN: {
            const auto dc = reinterpret_cast<HDC>(wParam);
            SetTextColor(dc, RGB(0, 0, 0));
            SetBkColor(dc, kDialogGrey);
            return reinterpret_cast<INT_PTR>(GetStockObject(LTGRAY_BRUSH));
        }
        case WM_COMMAND:
            if (LOWORD(wParam) == IDOK && GetDlgItem(m_window, IDOK) != nullptr) {
                if (m_modal) {
                    OnAccept();
                    EndModal(kDialogOk);
                }
                return TRUE;
            }
            if (LOWORD(wParam) == IDCANCEL) {
                EndModal(kDialogQuit);
                return TRUE;
            }
            break;
        case WM_CLOSE:
            EndModal(kDialogQuit);  // a modeless window (the progress) is not closed by the user
            return TRUE;
        default:
            break;
    }
    return OnMessage(message, wParam, lParam) ? TRUE : FALSE;
}

#include "app/win32gui/main_window.hpp"

#include <commdlg.h>

#include <algorithm>
#include <vector>

#include "app/app.hpp"
#include "app/win32_utf8.hpp"
#include "app/win32gui/paint_pump.hpp"
#include "app/win32gui/wide_text.hpp"
#include "app/win32gui/win32_user_interface.hpp"

namespace {

// A caption and a sizing border; no system menu, so no close, minimise or maximise box.
constexpr DWORD kFrameStyle = WS_OVERLAPPED | WS_CAPTION | WS_THICKFRAME | WS_CLIPCHILDREN;

HACCEL MakeAccelerators() {
    std::vector<ACCEL> keys;
    for (const Accelerator& key : AcceleratorTable()) {
        BYTE flags = FVIRTKEY;
        if ((key.modifiers & Accelerator::kCtrl) != 0) {
            flags |= FCONTROL;
        }
        if ((key.modifiers & Accelerator::kShift) != 0) {
            flags |= FSHIFT;
        }
        // Letters are their virtual keys; F6 is VK_F6.
        keys.push_back(ACCEL{flags, static_cast<WORD>(key.key), static_cast<WORD>(key.command)});
    }
    return CreateAcceleratorTableW(keys.data(), static_cast<int>(keys.size()));
}

HICON LoadApplicationIcon(int systemMetricX, int systemMetricY) {
    return static_cast<HICON>(LoadImageW(
        GetModuleHandleW(nullptr), MAKEINTRESOURCEW(kApplicationIconId), IMAGE_ICON,
        GetSystemMetrics(systemMetricX), GetSystemMetrics(systemMetricY), LR_DEFAULTCOLOR));
}

}  // namespace

CMainFrame::CMainFrame(IPortSystem& ports, CPaintOnlyPump& pump, std::string retryProcedure)
    : m_ports(ports),
      m_pump(pump),
      m_retryProcedure(std::move(retryProcedure)),
      m_view([this](CFirmwareUpdater::Outcome outcome) { m_exitStatus = ExitStatusFor(outcome); }) {
}

CMainFrame::~CMainFrame() {
    if (m_window != nullptr) {
        DestroyWindow(m_window);
    }
    if (m_accelerators != nullptr) {
        DestroyAcceleratorTable(m_accelerators);
    }
    for (HICON icon : {m_bigIcon, m_smallIcon}) {
        if (icon != nullptr) {
            DestroyIcon(icon);
        }
    }
}

bool CMainFrame::Create() {
    const HINSTANCE instance = GetModuleHandleW(nullptr);
    m_bigIcon = LoadApplicationIcon(SM_CXICON, SM_CYICON);
    m_smallIcon = LoadApplicationIcon(SM_CXSMICON, SM_CYSMICON);
    WNDCLASSEXW windowClass{};
    windowClass.cbSize = sizeof windowClass;
    windowClass.lpfnWndProc = WindowProc;
    windowClass.hInstance = instance;
    windowClass.hIcon = m_bigIcon;
    windowClass.hIconSm = m_smallIcon;
    windowClass.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    windowClass.lpszClassName = kMainFrameClass;
    RegisterClassExW(&windowClass);

    const std::wstring title = win32_utf8::ToWide(LoadString(kStrTitle));
    if (CreateWindowExW(0, kMainFrameClass, title.c_str(), kFrameStyle, CW_USEDEFAULT,
                        CW_USEDEFAULT, kMainWindowWidth, kMainWindowHeight, nullptr, nullptr,
                        instance, this) == nullptr) {
        m_window = nullptr;
        return false;
    }
    m_accelerators = MakeAccelerators();
    // Over the desktop's work area, from its top left corner.
    RECT workArea{};
    MONITORINFO monitor{};
    monitor.cbSize = sizeof monitor;
    if (GetMonitorInfoW(MonitorFromWindow(m_window, MONITOR_DEFAULTTOPRIMARY), &monitor)) {
        workArea = monitor.rcWork;
    } else {
        SystemParametersInfoW(SPI_GETWORKAREA, 0, &workArea, 0);
    }
    SetWindowPos(m_window, nullptr, workArea.left, workArea.top, workArea.right - workArea.left,
                 workArea.bottom - workArea.top, SWP_NOZORDER);
    ShowWindow(m_window, SW_SHOW);
    SetFocus(m_view.Window());
    UpdateWindow(m_window);
    return true;
}

bool CMainFrame::CreateParts() {
    if (!m_promptBar.Create(m_window) || !m_view.Create(m_window)) {
        return false;
    }
    m_ui =
        std::make_unique<CWin32UserInterface>(m_window, m_view.Window(), m_pump, m_retryProcedure);
    g_pUpdater = nullptr;
    g_pUpdater = new CFirmwareUpdater(*m_ui, m_ports);
    g_pUpdater->m_pPromptBar = &m_promptBar;
    g_pUpdater->ShowPrompt(PromptSelectPort);
    return true;
}

void CMainFrame::Layout() {
    RECT client{};
    GetClientRect(m_window, &client);
    const int bar = m_promptBar.Height();
    MoveWindow(m_promptBar.Window(), 0, 0, client.right, bar, TRUE);
    MoveWindow(m_view.Window(), 0, bar, client.right, std::max(0L, client.bottom - bar), TRUE);
}

void CMainFrame::OpenDocument() {
    // The document reads nothing; the update waits while the dialog is open.
    m_view.HoldUpdateStart();
    std::vector<wchar_t> file(MAX_PATH, L'\0');
    OPENFILENAMEW dialog{};
    dialog.lStructSize = sizeof dialog;
    dialog.hwndOwner = m_window;
    dialog.lpstrFile = file.data();
    dialog.nMaxFile = static_cast<DWORD>(file.size());
    dialog.Flags = OFN_FILEMUSTEXIST | OFN_HIDEREADONLY | OFN_EXPLORER;
    GetOpenFileNameW(&dialog);
    m_view.ReleaseUpdateStart();
}

LRESULT CMainFrame::Handle(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_CREATE:
            return CreateParts() ? 0 : -1;
        case WM_SIZE:
            Layout();
            return 0;
        case WM_SETFOCUS:
            SetFocus(m_view.Window());
            return 0;
        case WM_COMMAND:
            switch (LOWORD(wParam)) {
                case kCommandCloseTool:
                    DestroyWindow(m_window);
                    return 0;
                case kCommandNewDocument:
                    m_view.OnInitialUpdate();
                    return 0;
                case kCommandOpenDocument:
                    OpenDocument();
                    return 0;
                default:
                    return 0;  // F6 and Shift+F6: with one pane they do nothing
            }
        case WM_CLOSE:
            // The update runs inside the view's timer message; the window cannot go away under
            // it.
            if (!m_view.IsUpdateRunning()) {
                DestroyWindow(m_window);
            }
            return 0;
        case WM_DPICHANGED: {
            const auto* suggested = reinterpret_cast<const RECT*>(lParam);
            SetWindowPos(m_window, nullptr, suggested->left, suggested->top,
                         suggested->right - suggested->left, suggested->bottom - suggested->top,
                         SWP_NOZORDER | SWP_NOACTIVATE);
            Layout();  // the prompt bar's height follows its font
            return 0;
        }
        case WM_DESTROY:
            if (g_pUpdater != nullptr) {
                delete g_pUpdater;
                g_pUpdater = nullptr;
            }
            PostQuitMessage(0);
            return 0;
        default:
            return DefWindowProcW(m_window, message, wParam, lParam);
    }
}

LRESULT CALLBACK CMainFrame::WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_NCCREATE) {
        const auto* create = reinterpret_cast<const CREATESTRUCTW*>(lParam);
        auto* self = static_cast<CMainFrame*>(create->lpCreateParams);
        self->m_window = window;
        SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
    }
    auto* self = reinterpret_cast<CMainFrame*>(GetWindowLongPtrW(window, GWLP_USERDATA));
    if (self == nullptr) {
        return DefWindowProcW(window, message, wParam, lParam);
    }
    if (message == WM_NCDESTROY) {
        SetWindowLongPtrW(window, GWLP_USERDATA, 0);
        self->m_window = nullptr;
        return DefWindowProcW(window, message, wParam, lParam);
    }
    return self->Handle(message, wParam, lParam);
}

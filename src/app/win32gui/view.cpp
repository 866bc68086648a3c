#include "app/win32gui/view.hpp"

#include "app/desktop/desktop.hpp"
#include "app/win32gui/picture_dib.hpp"

bool CTk358fwView::Create(HWND parent) {
    const HINSTANCE instance = GetModuleHandleW(nullptr);
    WNDCLASSEXW windowClass{};
    windowClass.cbSize = sizeof windowClass;
    windowClass.lpfnWndProc = WindowProc;
    windowClass.hInstance = instance;
    windowClass.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    windowClass.hbrBackground = static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH));
    windowClass.lpszClassName = kViewClass;
    RegisterClassExW(&windowClass);
    m_window = CreateWindowExW(0, kViewClass, L"", WS_CHILD | WS_VISIBLE | WS_TABSTOP, 0, 0, 0, 0,
                               parent, nullptr, instance, this);
    if (m_window == nullptr) {
        return false;
    }
    OnInitialUpdate();
    return true;
}

void CTk358fwView::OnInitialUpdate() {
    m_firstPaint = 1;
    InvalidateRect(m_window, nullptr, TRUE);
}

void CTk358fwView::HoldUpdateStart() {
    if (m_timerRunning) {
        KillTimer(m_window, kUpdateTimerId);
    }
}

void CTk358fwView::ReleaseUpdateStart() {
    if (m_timerRunning) {
        SetTimer(m_window, kUpdateTimerId, kUpdateTimerMs, nullptr);
    }
}

void CTk358fwView::Paint() {
    PAINTSTRUCT paint;
    const HDC dc = BeginPaint(m_window, &paint);
    if (m_firstPaint != 0 && g_pUpdater != nullptr) {
        g_pUpdater->ShowPrompt(PromptSelectPort);
    }
    RECT client{};
    GetClientRect(m_window, &client);
    const Picture& background = BackgroundPicture();
    for (const PaintRect& r : NestedBackgroundRects(client.right, client.bottom)) {
        StretchPicture(dc, background, RECT{r.left, r.top, r.right, r.bottom});
    }
    EndPaint(m_window, &paint);
    if (m_firstPaint != 0 && !m_updateDone) {
        SetTimer(m_window, kUpdateTimerId, kUpdateTimerMs, nullptr);
        m_timerRunning = true;
        m_firstPaint = 0;
    }
}

void CTk358fwView::HandleTimer(UINT_PTR timer) {
    if (timer != kUpdateTimerId) {
        return;
    }
    KillTimer(m_window, kUpdateTimerId);
    m_timerRunning = false;
    if (g_pUpdater == nullptr || m_updateRunning || m_updateDone) {
        return;
    }
    m_updateRunning = true;
    const CFirmwareUpdater::Outcome outcome = g_pUpdater->RunUpdate();
    m_updateRunning = false;
    m_updateDone = true;
    if (m_onUpdateEnded) {
        m_onUpdateEnded(outcome);
    }
    if (const HWND frame = GetAncestor(m_window, GA_ROOT)) {
        SendMessageW(frame, WM_COMMAND, MAKEWPARAM(kCommandCloseTool, 0), 0);
    }
}

LRESULT CALLBACK CTk358fwView::WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_NCCREATE) {
        const auto* create = reinterpret_cast<const CREATESTRUCTW*>(lParam);
        SetWindowLongPtrW(window, GWLP_USERDATA,
                          reinterpret_cast<LONG_PTR>(create->lpCreateParams));
    }
    auto* self = reinterpret_cast<CTk358fwView*>(GetWindowLongPtrW(window, GWLP_USERDATA));
    if (self != nullptr && self->m_window == window) {
        switch (message) {
            case WM_PAINT:
                self->Paint();
                return 0;
            case WM_TIMER:
                self->HandleTimer(wParam);
                return 0;
            case WM_SIZE:
                InvalidateRect(window, nullptr, TRUE);  // the copies follow the size
                return 0;
            default:
                break;
        }
    }
    return DefWindowProcW(window, message, wParam, lParam);
}

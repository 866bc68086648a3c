#include "app/win32gui/prompt_bar.hpp"

#include <string>

#include "app/desktop/desktop.hpp"
#include "app/win32_utf8.hpp"
#include "app/win32gui/wide_text.hpp"

namespace {

constexpr int kFontPoints = 8;
constexpr COLORREF kBorderGrey = RGB(128, 128, 128);

}  // namespace

CPromptBar::~CPromptBar() {
    if (m_font != nullptr) {
        DeleteObject(m_font);
    }
}

bool CPromptBar::Create(HWND parent) {
    const HINSTANCE instance = GetModuleHandleW(nullptr);
    WNDCLASSEXW windowClass{};
    windowClass.cbSize = sizeof windowClass;
    windowClass.lpfnWndProc = WindowProc;
    windowClass.hInstance = instance;
    windowClass.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    windowClass.lpszClassName = kPromptBarClass;
    RegisterClassExW(&windowClass);  // already there on a second start: fine
    m_window = CreateWindowExW(0, kPromptBarClass, L"", WS_CHILD | WS_VISIBLE, 0, 0, 0, 0, parent,
                               nullptr, instance, this);
    if (m_window == nullptr) {
        return false;
    }
    MakeFont();
    return true;
}

void CPromptBar::MakeFont() {
    if (m_font != nullptr) {
        DeleteObject(m_font);
    }
    const int dpi = static_cast<int>(GetDpiForWindow(m_window));
    m_font = CreateFontW(-MulDiv(kFontPoints, dpi, 72), 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE,
                         DEFAULT_CHARSET, OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY,
                         DEFAULT_PITCH | FF_SWISS, L"MS Shell Dlg 2");
    // Dialog units: a vertical unit is an eighth of the font's height.
    TEXTMETRICW metrics{};
    const HDC dc = GetDC(m_window);
    const HGDIOBJ old = SelectObject(dc, m_font);
    GetTextMetricsW(dc, &metrics);
    SelectObject(dc, old);
    ReleaseDC(m_window, dc);
    m_height = MulDiv(kPromptBarHeightDlu, metrics.tmHeight, 8);
}

void CPromptBar::Repaint() {
    const std::string line =
        g_pUpdater != nullptr ? PromptLineText(g_pUpdater->m_promptText) : std::string();
    SetWindowTextW(m_window, win32_utf8::ToWide(line).c_str());
    InvalidateRect(m_window, nullptr, TRUE);
    UpdateWindow(m_window);
}

void CPromptBar::Paint() {
    PAINTSTRUCT paint;
    const HDC dc = BeginPaint(m_window, &paint);
    RECT client{};
    GetClientRect(m_window, &client);
    const HPEN pen = CreatePen(PS_SOLID, 1, kBorderGrey);
    const HGDIOBJ oldPen = SelectObject(dc, pen);
    MoveToEx(dc, 0, client.bottom - 1, nullptr);
    LineTo(dc, client.right, client.bottom - 1);
    SelectObject(dc, oldPen);
    DeleteObject(pen);

    const int length = GetWindowTextLengthW(m_window);
    if (length > 0) {
        std::wstring text(static_cast<size_t>(length) + 1, L'\0');
        GetWindowTextW(m_window, text.data(), length + 1);
        const HGDIOBJ oldFont = SelectObject(dc, m_font);
        SetBkMode(dc, OPAQUE);
        SetBkColor(dc, RGB(255, 255, 255));
        SetTextColor(dc, RGB(0, 0, 0));
        TextOutW(dc, kPromptTextX, kPromptTextY, text.c_str(), length);
        SelectObject(dc, oldFont);
    }
    EndPaint(m_window, &paint);
}

LRESULT CALLBACK CPromptBar::WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_NCCREATE) {
        const auto* create = reinterpret_cast<const CREATESTRUCTW*>(lParam);
        SetWindowLongPtrW(window, GWLP_USERDATA,
                          reinterpret_cast<LONG_PTR>(create->lpCreateParams));
    }
    auto* self = reinterpret_cast<CPromptBar*>(GetWindowLongPtrW(window, GWLP_USERDATA));
    if (self != nullptr && self->m_window == window) {
        switch (message) {
            case WM_PAINT:
                self->Paint();
                return 0;
            case WM_GETFONT:
                return reinterpret_cast<LRESULT>(self->m_font);
            case WM_DPICHANGED_BEFOREPARENT:  // before the main window lays out its parts
                self->MakeFont();
                return 0;
            default:
                break;
        }
    }
    return DefWindowProcW(window, message, wParam, lParam);
}

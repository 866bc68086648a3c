// The prompt bar along the top of the main window: the prompt line drawn at (2, 5), black on
// white, over the bar's grey, with a line along its bottom. The line is also the bar window's own
// text, for screen readers and for programs that read the window.
#pragma once

#include "app/win32gui/windows_api.hpp"

#include "app/app.hpp"

class CPromptBar final : public IPromptBar {
  public:
    CPromptBar() = default;
    ~CPromptBar() override;
    CPromptBar(const CPromptBar&) = delete;
    CPromptBar& operator=(const CPromptBar&) = delete;

    bool Create(HWND parent);
    HWND Window() const { return m_window; }
    // The bar's height in pixels: its template's 14 dialog units in the bar's font.
    int Height() const { return m_height; }

    // Takes the updater's prompt text as the window text and repaints the bar at once.
    void Repaint() override;

  private:
    static LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    void Paint();
    void MakeFont();

    HWND m_window = nullptr;
    HFONT m_font = nullptr;
    int m_height = 0;
};

// The window class of the prompt bar.
constexpr wchar_t kPromptBarClass[] = L"Tk358fwPromptBar";

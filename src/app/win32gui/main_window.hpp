// The main window: the title string, the application icon, a caption and a sizing border but no
// menu, system menu, minimise or maximise box; the prompt bar on top and the view below, covering
// the desktop's work area. It owns the update procedure object (g_pUpdater) for its lifetime and
// answers the keys of the accelerator table.
#pragma once

#include "app/win32gui/windows_api.hpp"

#include <memory>
#include <string>

#include "app/win32gui/prompt_bar.hpp"
#include "app/win32gui/view.hpp"
#include "serial/serial.hpp"

class CPaintOnlyPump;
class CWin32UserInterface;

class CMainFrame final {
  public:
    CMainFrame(IPortSystem& ports, CPaintOnlyPump& pump, std::string retryProcedure);
    ~CMainFrame();
    CMainFrame(const CMainFrame&) = delete;
    CMainFrame& operator=(const CMainFrame&) = delete;

    // Creates and shows the window; false when it (or a part of it) cannot be created.
    bool Create();
    HWND Window() const { return m_window; }
    HACCEL Accelerators() const { return m_accelerators; }
    // 0 installed, 1 failed, 2 ended by the user's choice (also when the tool was closed before
    // the update ran).
    int ExitStatus() const { return m_exitStatus; }

  private:
    static LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    LRESULT Handle(UINT message, WPARAM wParam, LPARAM lParam);
    bool CreateParts();
    void Layout();
    void OpenDocument();

    IPortSystem& m_ports;
    CPaintOnlyPump& m_pump;
    std::string m_retryProcedure;
    HWND m_window = nullptr;
    HACCEL m_accelerators = nullptr;
    HICON m_bigIcon = nullptr;
    HICON m_smallIcon = nullptr;
    CPromptBar m_promptBar;
    CTk358fwView m_view;
    std::unique_ptr<CWin32UserInterface> m_ui;
    int m_exitStatus = 2;
};

// The window class of the main window.
constexpr wchar_t kMainFrameClass[] = L"Tk358fwMainFrame";
// The application icon's resource number.
constexpr int kApplicationIconId = 2;

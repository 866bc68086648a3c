// The Win32 implementation of the update's user-interface seam.
#pragma once

#include "app/win32gui/windows_api.hpp"

#include <memory>
#include <string>

#include "app/app.hpp"

class CPaintOnlyPump;

class CWin32UserInterface final : public IUserInterface {
  public:
    // `owner` owns every dialog; `view` is the window the dialogs are centred over; `pump` is the
    // one that ran during the update's waits; `retryProcedure` is the document offered under the
    // message of a failed transfer (empty: none).
    CWin32UserInterface(HWND owner, HWND view, CPaintOnlyPump& pump, std::string retryProcedure)
        : m_owner(owner), m_view(view), m_pump(pump), m_retryProcedure(std::move(retryProcedure)) {}

    ViewRect ViewClientRect() override;
    void RepaintView() override;
    int RunPortDialog(int16_t* port) override;
    int RunTextDialog(DialogId dialog, const std::string& text) override;
    void ShowMessage(const std::string& text, const std::string& extendedText) override;
    int16_t ChooseFile(const std::string& filter, const std::string& initialName,
                       std::string* path) override;
    void BeginWaitCursor() override;
    void EndWaitCursor() override;
    std::unique_ptr<IProgressWindow> CreateProgressWindow() override;

  private:
    HWND m_owner;
    HWND m_view;
    CPaintOnlyPump& m_pump;
    std::string m_retryProcedure;
    int m_waitCursorCount = 0;
    HCURSOR m_cursorBeforeWait = nullptr;
};

// The Win32 front end's windows on a desktop of the test program's own (Wine on a private X
// server, tests/win32gui/run-on-xvfb.sh): an owner window standing for the main window and its
// view (1000 x 700), the update procedure object with the Win32 user interface, and a way to act
// on a modal window once it is open.
#pragma once

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>

#include "app/app.hpp"
#include "app/win32gui/paint_pump.hpp"
#include "app/win32gui/win32_user_interface.hpp"
#include "app/win32gui/windows_api.hpp"
#include "sim/sim.hpp"

// Calls `action` with the first visible dialog window (class #32770) of this thread other than
// `except` as soon as one is open, from a timer that the open window's own message loop runs.
void WhenDialogOpens(std::function<void(HWND dialog)> action, HWND except = nullptr);
// A key pressed and released in `window`, as the keyboard would send it.
void PressKey(HWND window, WPARAM key);
// The texts of a window's children, joined by line feeds, without carriage returns.
std::string ChildTexts(HWND window);
// A control's rectangle in its dialog's client coordinates.
RECT ClientRectOf(HWND dialog, HWND control);

class Win32Windows : public ::testing::Test {
  protected:
    static constexpr int kViewWidth = 1000;
    static constexpr int kViewHeight = 700;
    void SetUp() override;
    void TearDown() override;
    // The dialog lies in the middle of the 1000 x 700 view.
    static void ExpectCentred(HWND dialog);

    HWND m_owner = nullptr;
    CPaintOnlyPump m_pump;
    sim::VirtualPortSystem m_ports;
    std::unique_ptr<CWin32UserInterface> m_ui;
};

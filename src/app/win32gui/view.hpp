// The view: paints the nested copies of the background picture and, 200 ms after its first
// paint, runs the update (timer 99). When the update returns it tells its owner the outcome and
// sends the main window the close command.
#pragma once

#include "app/win32gui/windows_api.hpp"

#include <cstdint>
#include <functional>

#include "app/app.hpp"

class CTk358fwView final {
  public:
    using OutcomeSink = std::function<void(CFirmwareUpdater::Outcome)>;
    explicit CTk358fwView(OutcomeSink onUpdateEnded) : m_onUpdateEnded(std::move(onUpdateEnded)) {}
    CTk358fwView(const CTk358fwView&) = delete;
    CTk358fwView& operator=(const CTk358fwView&) = delete;

    bool Create(HWND parent);
    HWND Window() const { return m_window; }

    // The initial update: the next paint is a first paint again.
    void OnInitialUpdate();
    bool IsUpdateRunning() const { return m_updateRunning; }
    // While held, the update does not start (a dialog of the main window is open); the 200 ms
    // start again from the release.
    void HoldUpdateStart();
    void ReleaseUpdateStart();

  private:
    static LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    void Paint();
    void HandleTimer(UINT_PTR timer);

    HWND m_window = nullptr;
    int32_t m_firstPaint = 0;
    bool m_timerRunning = false;
    bool m_updateRunning = false;
    bool m_updateDone = false;
    OutcomeSink m_onUpdateEnded;
};

// The window class of the view.
constexpr wchar_t kViewClass[] = L"Tk358fwView";

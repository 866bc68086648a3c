// A window as something the update procedure object can centre over the view.
#pragma once

#include "app/win32gui/windows_api.hpp"

#include <cstdint>

#include "app/app.hpp"

class CPlaceableWindow final : public IPlaceableWindow {
  public:
    explicit CPlaceableWindow(HWND window) : m_window(window) {}
    void GetOuterSize(int32_t* width, int32_t* height) override;
    void MoveTo(int32_t left, int32_t top) override;

  private:
    HWND m_window;
};

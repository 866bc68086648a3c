// A toolkit window as something the update procedure object can centre over the view.
#pragma once

#include <cstdint>

#include "app/app.hpp"

class wxWindow;

class CPlaceableWindow final : public IPlaceableWindow {
  public:
    explicit CPlaceableWindow(wxWindow& window) : m_window(window) {}
    void GetOuterSize(int32_t* width, int32_t* height) override;
    void MoveTo(int32_t left, int32_t top) override;

  private:
    wxWindow& m_window;
};

// A private X server for the tests that open real windows: Xvfb on a display number it picks
// itself (reported through -displayfd once it accepts connections), its screen memory kept in a
// file, stopped at destruction.
#pragma once

#include <sys/types.h>

#include <string>

class CXvfbServer {
  public:
    CXvfbServer() = default;
    ~CXvfbServer() { Stop(); }
    CXvfbServer(const CXvfbServer&) = delete;
    CXvfbServer& operator=(const CXvfbServer&) = delete;

    // Starts the server (1024 x 768, 24 bits); false when Xvfb is missing or does not come up
    // within `timeoutMs`.
    bool Start(int timeoutMs = 20000);
    void Stop();
    // ":N" while running.
    const std::string& Display() const { return m_display; }
    // The screen as the server draws it (the pointer included), an X window dump.
    std::string ScreenFile() const { return m_screenDir + "/Xvfb_screen0"; }

  private:
    pid_t m_pid = -1;
    std::string m_display;
    std::string m_screenDir;
};

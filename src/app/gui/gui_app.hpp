// The desktop application object: creates the main window and keeps the process exit status.
#pragma once

#include <wx/app.h>

#include "serial/serial.hpp"

class CTk358fwApp final : public wxApp {
  public:
    explicit CTk358fwApp(IPortSystem& ports) : m_ports(ports) {}
    bool OnInit() override;

    // 0 installed, 1 failed, 2 ended by the user's choice (also when the tool was closed before
    // the update ran).
    int ExitStatus() const { return m_exitStatus; }

  private:
    IPortSystem& m_ports;
    int m_exitStatus = 2;
};

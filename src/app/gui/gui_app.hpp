// The desktop application object: creates the main window and keeps the process exit status.
#pragma once

#include <wx/app.h>

#include "app/app.hpp"
#include "serial/serial.hpp"

class CTk358fwApp final : public wxApp {
  public:
    explicit CTk358fwApp(IPortSystem& ports) : m_ports(ports) {}
    bool OnInit() override;

    // The exit status of the update's outcome (ExitStatusFor); ended by the user when the tool
    // was closed before the update ran.
    int ExitStatus() const { return m_exitStatus; }

  private:
    IPortSystem& m_ports;
    int m_exitStatus = kExitEndedByUser;
};

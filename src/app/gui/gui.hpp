// The desktop GUI front end (wxWidgets on GTK 3).
#pragma once

#include "serial/serial.hpp"

// Runs the desktop application: one update, then the tool closes. Returns the process exit
// status of the update's outcome (ExitStatusFor), or 1 when no display is available.
int RunGuiApplication(int argc, char** argv, IPortSystem& ports);

// The desktop front end on Windows, native Win32: the main window with its prompt bar and view,
// the dialogs built in memory from the shared templates, the message boxes, the open-file dialog
// and the progress window.
#pragma once

#include <string>

#include "serial/serial.hpp"

// Runs the desktop application: one update, then the tool closes. Returns the process exit
// status (0 installed, 1 failed, 2 ended by the user's choice, also when the window was closed
// before the update ran), or 1 when the main window cannot be created.
int RunWin32Application(IPortSystem& ports);

// Shows a program's text (UTF-8: its usage, its version, a usage error) in a message box with
// the tool's title, for a program that has no console to write it to.
void ShowProgramText(const std::string& text);

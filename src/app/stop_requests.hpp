// Stop requests from outside the camera (SIGINT and SIGTERM on POSIX systems, Ctrl+C and
// Ctrl+Break on Windows) and the exchange sections that hold them back. The sections and the
// counting are the same everywhere (exchange_sections.cpp); the system's own part
// (run_signals.cpp, win32_run_signals.cpp) receives the requests, writes the notices and ends
// the run.
#pragma once

#include <string_view>

namespace stop_requests {

// For the system's handler of stop request `code` (the signal number, or the console event).
// Inside an exchange section it counts the request, writes the section's notice and returns
// true; outside every section it returns false, and the handler ends the run at once.
// Lock-free and async-signal-safe.
bool HoldInSection(int code);

// The exit status of the result being shown (CResultShown), or -1 while there is none: a stop
// request then ends the process with that status. Lock-free and async-signal-safe.
int ResultExitStatus();

// The system's part:
// Writes `text` to standard error (async-signal-safe; nothing happens when it is gone).
void Notify(std::string_view text);
// How the user gives stop request `code` once more: "press Ctrl-C again", "send SIGTERM again".
std::string_view AgainText(int code);
// Puts every open port back as found and ends the process: with ResultExitStatus() while a
// result is shown, otherwise by stop request `code`.
[[noreturn]] void EndRun(int code);
// The exit status of a run ended by stop request `code`: 130 for SIGINT and Ctrl+C, 143 for
// SIGTERM, Ctrl+Break and the console closed.
int StopStatus(int code);

}  // namespace stop_requests

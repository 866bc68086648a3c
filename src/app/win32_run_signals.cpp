// The run's answer to the console's Ctrl+C and Ctrl+Break on Windows, by the same rules as
// SIGINT and SIGTERM on POSIX systems (run_signals.cpp).
//
// Windows runs the handler on a thread of its own while the program's thread goes on. Outside an
// exchange section the handler puts every open port back as found (the port registry waits for,
// or cuts short, an operation in progress on it) and ends the process at once with the status
// of a Ctrl+C. Inside a section it only counts; the section's owner acts on the count between
// exchanges; while the transfer's result is shown, the process ends with the result's status.
// Closing the console window, logging off and shutting down end the process whatever
// a handler does: the ports are put back and the process ends the same way. A process started
// with Ctrl+C switched off never sees it (Windows calls no handler for it).
#include <windows.h>

#include <string_view>

#include "app/app.hpp"
#include "app/stop_requests.hpp"

namespace {

BOOL WINAPI OnConsoleControl(DWORD event) {
    const int code = static_cast<int>(event);
    if ((event == CTRL_C_EVENT || event == CTRL_BREAK_EVENT) &&
        stop_requests::HoldInSection(code)) {
        return TRUE;
    }
    stop_requests::EndRun(code);
}

}  // namespace

namespace stop_requests {

void Notify(std::string_view text) {
    DWORD written = 0;
    WriteFile(GetStdHandle(STD_ERROR_HANDLE), text.data(), static_cast<DWORD>(text.size()),
              &written, nullptr);
}

std::string_view AgainText(int /*code*/) {
    return "press Ctrl-C again";  // Ctrl+C or Ctrl+Break, either counts
}

[[noreturn]] void EndRun(int /*code*/) {
    // While the transfer's result is shown the run ends with the result's status.
    const int resultStatus = ResultExitStatus();
    const UINT status =
        resultStatus >= 0 ? static_cast<UINT>(resultStatus) : UINT{STATUS_CONTROL_C_EXIT};
    ReleaseOpenPorts();
    // No clean-up of the process runs: its thread may be anywhere, as after Windows' own
    // answer to Ctrl+C.
    TerminateProcess(GetCurrentProcess(), status);
    // Not reached: TerminateProcess does not return for the calling process.
    ExitProcess(status);
}

}  // namespace stop_requests

CRunSignals::CRunSignals() {
    SetConsoleCtrlHandler(OnConsoleControl, TRUE);
}

CRunSignals::~CRunSignals() {
    SetConsoleCtrlHandler(OnConsoleControl, FALSE);
}

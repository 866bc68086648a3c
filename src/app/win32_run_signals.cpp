// The run's answer to the console's Ctrl+C and Ctrl+Break on Windows, by the same rules as
// SIGINT and SIGTERM on POSIX systems (run_signals.cpp).
//
// Windows runs the handler on a thread of its own while the program's thread goes on. Outside an
// exchange section the handler puts every open port back as found (the port registry waits for,
// or cuts short, an operation in progress on it) and ends the process at once with the status
// for the request: 130 for Ctrl+C, 143 for Ctrl+Break (what POSIX shells show for SIGINT and
// SIGTERM). Inside a section it only counts; the section's owner acts on the count between
// exchanges; while the transfer's result is shown, the process ends with the result's status.
// Closing the console window, logging off and shutting down end the process whatever a handler
// does: the ports are put back and the process ends with 143 (or the result's status). A process
// started with Ctrl+C switched off never sees it (Windows calls no handler for it).
#include <io.h>
#include <windows.h>

#include <string_view>

#include "app/app.hpp"
#include "app/stop_requests.hpp"

namespace {

// The exit statuses of a run ended by a stop request.
constexpr int kInterruptedStatus = 130;  // Ctrl+C
constexpr int kTerminatedStatus = 143;   // Ctrl+Break, the console closed, log-off, shut-down

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

int StopStatus(int code) {
    return code == CTRL_C_EVENT ? kInterruptedStatus : kTerminatedStatus;
}

std::string_view AgainText(int /*code*/) {
    return "press Ctrl-C again";  // Ctrl+C or Ctrl+Break, either counts
}

[[noreturn]] void EndRun(int code) {
    // While the transfer's result is shown the run ends with the result's status.
    const int resultStatus = ResultExitStatus();
    const auto status = static_cast<UINT>(resultStatus >= 0 ? resultStatus : StopStatus(code));
    ReleaseOpenPorts();
    // The wire trace's end, prepared by its owner: the port's closing and the summary.
    int fd = -1;
    const char* words = nullptr;
    size_t length = 0;
    if (last_words::Take(&fd, &words, &length)) {
        ::_write(fd, words, static_cast<unsigned>(length));
    }
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

// tk358fw-console.exe on Windows: the statuses of stop requests, and names outside the code page on its
// command line (run as a program, under Wine too).
#include <gtest/gtest.h>
#include <windows.h>

#include <cstdlib>
#include <filesystem>
#include <string>

#include "app/app.hpp"
#include "app/stop_requests.hpp"
#include "temp_dir.hpp"

namespace {

TEST(Win32StopRequests, CtrlCIs130AndEveryOtherEnding143) {
    EXPECT_EQ(stop_requests::StopStatus(CTRL_C_EVENT), 130);
    for (const DWORD event :
         {CTRL_BREAK_EVENT, CTRL_CLOSE_EVENT, CTRL_LOGOFF_EVENT, CTRL_SHUTDOWN_EVENT}) {
        EXPECT_EQ(stop_requests::StopStatus(static_cast<int>(event)), 143) << event;
    }
}

// The build folder as this system names it (under Wine the Linux path is on drive Z:).
std::wstring BuildFolder() {
    const char* folder = std::getenv("TK358_TEST_BIN");
    std::string path = folder != nullptr ? folder : "";
    if (!path.empty() && path.front() == '/') {
        path = "Z:" + path;
    }
    return testdir::Native(path).make_preferred().wstring();
}

// Runs the program with this command line, input and output on NUL; its exit status.
DWORD RunProgram(std::wstring commandLine) {
    SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
    HANDLE nul =
        CreateFileW(L"NUL", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                    &inherit, OPEN_EXISTING, 0, nullptr);
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = startup.hStdOutput = startup.hStdError = nul;
    PROCESS_INFORMATION process{};
    DWORD status = ~DWORD{0};
    if (CreateProcessW(nullptr, commandLine.data(), nullptr, nullptr, TRUE, CREATE_NO_WINDOW,
                       nullptr, nullptr, &startup, &process) != 0) {
        WaitForSingleObject(process.hProcess, INFINITE);
        GetExitCodeProcess(process.hProcess, &status);
        CloseHandle(process.hThread);
        CloseHandle(process.hProcess);
    }
    CloseHandle(nul);
    return status;
}

TEST(Win32CommandLine, NamesOutsideTheCodePageArriveWhole) {
    const std::wstring program = BuildFolder() + L"\\src\\app\\main\\tk358fw-console.exe";
    ASSERT_TRUE(std::filesystem::exists(program)) << "TK358_TEST_BIN names no build folder";
    testdir::TempDir dir;
    // Latin-1 and Cyrillic in one name: no ANSI code page has both.
    const std::string trace =
        dir.Path() + "\\J\u00fcrgen-\u0442\u0440\u0430\u0441\u0441\u0430.trace";
    const std::wstring command = L"\"" + program +
                                 L"\" --console --port COM9 --file x.fw --trace \"" +
                                 testdir::Native(trace).wstring() + L"\"";
    // No file x.fw: refused before any port is opened; the trace file was written under its own
    // name.
    EXPECT_EQ(RunProgram(command), 65u);
    EXPECT_TRUE(std::filesystem::is_regular_file(testdir::Native(trace)));
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(testdir::Native(dir.Path())),
                            std::filesystem::directory_iterator()),
              1);
}

}  // namespace

#include <windows.h>

#include <cstdio>
#include <iostream>
#include <string>

#include "app/win32gui/win32gui.hpp"
#include "desktop_program_output.hpp"

const char kTypeTheConsoleProgram[] =
    "tk358fw.exe is the desktop application; in cmd or PowerShell type tk358fw-console.exe (the "
    "same options, the update on the console with --console).\n";

namespace {

bool HasOutput(DWORD handle) {
    const HANDLE h = GetStdHandle(handle);
    return h != nullptr && h != INVALID_HANDLE_VALUE;
}

}  // namespace

CDesktopProgramOutput::CDesktopProgramOutput(bool options) : m_options(options) {
    if (!m_options) {
        return;
    }
    if (HasOutput(STD_OUTPUT_HANDLE)) {
        m_console = true;  // redirected to a file or pipe
    } else if (AttachConsole(ATTACH_PARENT_PROCESS)) {
        // The console's prompt came back when the program started: start on a line of our own.
        m_console = std::freopen("CONOUT$", "w", stdout) != nullptr &&
                    std::freopen("CONOUT$", "w", stderr) != nullptr;
        if (m_console) {
            std::cout << '\n';
        }
    }
}

CDesktopProgramOutput::~CDesktopProgramOutput() {
    if (!m_options) {
        return;
    }
    if (m_note) {
        Out() << '\n' << kTypeTheConsoleProgram;
    }
    if (m_console) {
        std::cout.flush();
        std::cerr.flush();
    } else if (!m_collected.str().empty()) {
        ShowProgramText(m_collected.str());
    }
}

std::ostream& CDesktopProgramOutput::Out() {
    return m_console ? std::cout : static_cast<std::ostream&>(m_collected);
}

std::ostream& CDesktopProgramOutput::Err() {
    return m_console ? std::cerr : static_cast<std::ostream&>(m_collected);
}

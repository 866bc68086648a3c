// Where the desktop program of Windows (tk358fw.exe, which has no console of its own) writes what
// its options print: to the console it was typed in (or the file or pipe its output goes to),
// otherwise, started from a shortcut or Explorer, into a message box when it ends. Each text ends
// with a note that tk358fw-console.exe is the program to type.
#pragma once

#include <ostream>
#include <sstream>

class CDesktopProgramOutput {
  public:
    // `options`: the command line has options (without them nothing is written).
    explicit CDesktopProgramOutput(bool options);
    ~CDesktopProgramOutput();
    CDesktopProgramOutput(const CDesktopProgramOutput&) = delete;
    CDesktopProgramOutput& operator=(const CDesktopProgramOutput&) = delete;

    std::ostream& Out();
    std::ostream& Err();
    // No note about the console program at the end (the text already says what to do, or the
    // desktop application runs).
    void LeaveOutNote() { m_note = false; }

  private:
    bool m_options;
    bool m_note = true;
    bool m_console = false;
    std::ostringstream m_collected;
};

// Said after every text of tk358fw.exe's options.
extern const char kTypeTheConsoleProgram[];

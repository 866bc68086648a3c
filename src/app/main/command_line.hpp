// The command line of tk358fw: which front end runs, and the options that shape the run.
#pragma once

#include <iosfwd>
#include <string>

#include "app/app.hpp"

struct CommandLine {
    enum class Action {
        Gui,        // no option: the desktop application
        Console,    // --console: the update on the terminal
        ListPorts,  // --list-ports: what COM1 to COM4 stand for, and the other serial devices
        Exit,       // the parse has already answered (--help, --version, or a usage error)
    };
    Action action = Action::Gui;
    int exitStatus = 0;      // with Action::Exit
    ConsoleAnswers answers;  // --port and --file (with --console)
    std::string portDevice;  // --port DEVICE: the device COM1 stands for in this run
    std::string tracePath;   // --trace FILE, or TK358FW_TRACE
};

// Parses the arguments. --help writes the usage, --version the program's name and version to
// `out` (exit status 0); a usage error writes the reason and the usage to `err` (exit status
// kExitUsage, 64). Never throws.
CommandLine ParseCommandLine(int argc, const char* const* argv, std::ostream& out,
                             std::ostream& err);

// tk358fw: installs new firmware into the camera. Without arguments the desktop application;
// with --console the same update on the terminal; --list-ports lists the ports.
#include <iostream>

#include "app/app.hpp"
#include "command_line.hpp"
#include "serial/serial.hpp"
#ifdef TK358_HAVE_GUI
#include "app/gui/gui.hpp"
#endif

int main(int argc, char** argv) {
    // Closed pipes, hang-ups and stop signals are answered the same way by both front ends.
    const CRunSignals signals;
    const CommandLine command = ParseCommandLine(argc, argv, std::cout, std::cerr);
    if (command.action == CommandLine::Action::Exit) {
        return command.exitStatus;
    }
    // One look at the machine's serial devices serves the whole run.
    CPosixPortSystem ports(TakePortSnapshot());
    switch (command.action) {
        case CommandLine::Action::ListPorts:
            WritePortList(std::cout, ports.Ports());
            return 0;
        case CommandLine::Action::Console:
            return RunConsoleUpdate(ports);
        case CommandLine::Action::Exit:
        case CommandLine::Action::Gui:
            break;
    }
#ifdef TK358_HAVE_GUI
    return RunGuiApplication(argc, argv, ports);
#else
    std::cerr << "tk358fw: this build has no desktop application; run 'tk358fw --console' for the "
                 "update on the terminal.\n";
    return 1;
#endif
}

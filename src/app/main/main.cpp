// tk358fw: installs new firmware into the camera. Without arguments the desktop application;
// with --console the same update on the terminal.
#include <iostream>

#include "app/app.hpp"
#include "command_line.hpp"
#include "serial/serial.hpp"
#ifdef TK358_HAVE_GUI
#include "app/gui/gui.hpp"
#endif

int main(int argc, char** argv) {
    const CommandLine command = ParseCommandLine(argc, argv, std::cout, std::cerr);
    switch (command.action) {
        case CommandLine::Action::Exit:
            return command.exitStatus;
        case CommandLine::Action::Console:
            return RunConsoleUpdate(SystemPorts());
        case CommandLine::Action::Gui:
            break;
    }
#ifdef TK358_HAVE_GUI
    return RunGuiApplication(argc, argv, SystemPorts());
#else
    std::cerr << "tk358fw: this build has no desktop application; run 'tk358fw --console' for the "
                 "update on the terminal.\n";
    return 1;
#endif
}

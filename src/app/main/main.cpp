// tk358fw: installs new firmware into the camera. Without arguments the desktop application;
// with --console the same update on the terminal.
#include <iostream>

#include "app/app.hpp"
#include "command_line.hpp"
#include "serial/serial.hpp"
#include "trace_file.hpp"
#ifdef TK358_HAVE_GUI
#include "app/gui/gui.hpp"
#endif

namespace {

int RunFrontEnd(const CommandLine& command, int argc, char** argv, IPortSystem& ports) {
    if (command.action == CommandLine::Action::Console) {
        return RunConsoleUpdate(ports, command.answers);
    }
#ifdef TK358_HAVE_GUI
    return RunGuiApplication(argc, argv, ports);
#else
    (void)argc;
    (void)argv;
    std::cerr << "tk358fw: this build has no desktop application; run 'tk358fw --console' for the "
                 "update on the terminal.\n";
    return 1;
#endif
}

}  // namespace

int main(int argc, char** argv) {
    const CommandLine command = ParseCommandLine(argc, argv, std::cout, std::cerr);
    if (command.action == CommandLine::Action::Exit) {
        return command.exitStatus;
    }
    if (!command.portDevice.empty()) {
        SetPosixDeviceForPort(1, command.portDevice);  // --port DEVICE stands for COM1
    }
    CTraceFile trace(command.tracePath, PosixPortSystem());
    if (!trace.Error().empty()) {
        std::cerr << "tk358fw: " << trace.Error() << '\n';
        return 1;
    }
    const int status = RunFrontEnd(command, argc, argv, trace.Ports());
    trace.Finish(std::cerr);
    return status;
}

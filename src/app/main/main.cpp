// tk358fw: installs new firmware into the camera. Without arguments the desktop application;
// with --console the same update on the terminal; --list-ports lists the ports.
//
// On Windows two programs are built from this file: tk358fw.exe, the desktop application (no
// console window; TK358_GUI_SUBSYSTEM), and tk358fw-console.exe, the one to type, which behaves
// as tk358fw does on Linux.
#include <iostream>
#include <memory>

#include "app/app.hpp"
#include "command_line.hpp"
#include "serial/serial.hpp"
#include "trace_file.hpp"
#ifdef TK358_HAVE_GUI
#include "app/gui/gui.hpp"
#endif
#ifdef TK358_HAVE_WIN32GUI
#include "app/win32gui/win32gui.hpp"
#endif
#ifdef TK358_GUI_SUBSYSTEM
#include "desktop_program_output.hpp"
#endif

namespace {

// The status of a usage error (EX_USAGE): here, the update on the console asked of the desktop
// program.
[[maybe_unused]] constexpr int kUsageErrorStatus = 64;

int RunFrontEnd(const CommandLine& command, int argc, char** argv, IPortSystem& ports) {
    if (command.action == CommandLine::Action::Console) {
        return RunConsoleUpdate(ports, command.answers);
    }
#if defined(TK358_HAVE_GUI)
    return RunGuiApplication(argc, argv, ports);
#elif defined(TK358_HAVE_WIN32GUI)
    (void)argc;
    (void)argv;
    return RunWin32Application(ports);
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
    // Closed pipes, hang-ups and stop signals are answered the same way by both front ends.
    const CRunSignals signals;
#ifdef TK358_GUI_SUBSYSTEM
    CDesktopProgramOutput output(argc > 1);
    std::ostream& out = output.Out();
    std::ostream& err = output.Err();
#else
    std::ostream& out = std::cout;
    std::ostream& err = std::cerr;
#endif
    const CommandLine command = ParseCommandLine(argc, argv, out, err);
    if (command.action == CommandLine::Action::Exit) {
        return command.exitStatus;
    }
#ifdef TK358_GUI_SUBSYSTEM
    if (command.action == CommandLine::Action::Console) {
        // The console's prompt does not wait for a desktop program: the update's questions and
        // the prompt would take turns on the screen.
        err << "tk358fw.exe: --console: this program is the desktop application and has no "
               "console; type tk358fw-console.exe --console for the update on the console.\n";
        output.LeaveOutNote();
        return kUsageErrorStatus;
    }
#endif
    // One look at the machine's serial ports serves the whole run; --port DEVICE stands for
    // COM1.
    PortOverrides overrides;
    if (!command.portDevice.empty()) {
        overrides[0] = {command.portDevice, "--port"};
    }
    const std::unique_ptr<IPortSystem> ports = MakeSystemPorts(overrides);
    if (command.action == CommandLine::Action::ListPorts) {
        WritePortList(out, ports->Ports());
        return 0;
    }
#ifdef TK358_GUI_SUBSYSTEM
    output.LeaveOutNote();  // the desktop application runs (with --trace)
#endif
    CTraceFile trace(command.tracePath, *ports);
    if (!trace.Error().empty()) {
        err << "tk358fw: " << trace.Error() << '\n';
        return 1;
    }
    const int status = RunFrontEnd(command, argc, argv, trace.Ports());
    trace.Finish(err);
    return status;
}

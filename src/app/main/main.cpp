// tk358fw: installs new firmware into the camera. Without arguments the desktop application;
// with --console the same update on the terminal.
#include <cstring>
#include <iostream>

#include "app/app.hpp"
#include "serial/serial.hpp"
#ifdef TK358_HAVE_GUI
#include "app/gui/gui.hpp"
#endif

namespace {

#ifdef TK358_HAVE_GUI
constexpr const char* kNoOptionText = "the desktop application";
#else
constexpr const char* kNoOptionText = "the desktop application (not in this build)";
#endif

void WriteUsage(std::ostream& out) {
    out << "Usage: tk358fw [--console | --help]\n"
           "\n"
           "Installs new firmware into the Orvia Lumen Precision TK358 zoom camera.\n"
           "\n"
           "  (no option)  "
        << kNoOptionText
        << "\n"
           "  --console    the same update on the terminal: answers are read line by line\n"
           "               from standard input\n"
           "  --help       this text\n"
           "\n"
           "COM1 to COM4 are the serial devices named by TK358FW_COM1 to TK358FW_COM4, or else\n"
           "the serial devices found on this machine.\n"
           "Exit status: 0 installed, 1 failed, 2 ended by the user's choice.\n";
}

}  // namespace

int main(int argc, char** argv) {
    if (argc >= 2 && std::strcmp(argv[1], "--help") == 0) {
        WriteUsage(std::cout);
        return 0;
    }
    if (argc >= 2 && std::strcmp(argv[1], "--console") == 0) {
        if (argc > 2) {
            WriteUsage(std::cerr);
            return 1;
        }
        return RunConsoleUpdate(PosixPortSystem());
    }
    if (argc >= 2) {
        std::cerr << "tk358fw: unknown option " << argv[1] << "\n\n";
        WriteUsage(std::cerr);
        return 1;
    }
#ifdef TK358_HAVE_GUI
    return RunGuiApplication(argc, argv, PosixPortSystem());
#else
    std::cerr << "tk358fw: this build has no desktop application; run 'tk358fw --console' for the "
                 "update on the terminal.\n";
    return 1;
#endif
}

#include "command_line.hpp"

#include <CLI/CLI.hpp>
#include <ostream>
#include <string>

#include "generated/version.hpp"

namespace {

#ifdef TK358_HAVE_GUI
constexpr const char* kNoOptionText = "Without options: the desktop application.";
#else
constexpr const char* kNoOptionText =
    "Without options: the desktop application (not in this build).";
#endif

constexpr int kUsageErrorStatus = 1;

}  // namespace

CommandLine ParseCommandLine(int argc, const char* const* argv, std::ostream& out,
                             std::ostream& err) {
    CommandLine result;
    CLI::App app("Installs new firmware into the Orvia Lumen Precision TK358 zoom camera.",
                 "tk358fw");
    app.set_help_flag("--help", "this text");
    app.set_version_flag("--version", std::string("tk358fw ") + build_info::kVersionText,
                         "the program's name and version");
    bool console = false;
    app.add_flag("--console", console,
                 "the update on the terminal: answers are read line by line from standard input");
    bool listPorts = false;
    app.add_flag("--list-ports", listPorts,
                 "lists the devices COM1 to COM4 stand for and the other serial devices found, "
                 "then exits");
    app.footer(
        std::string(kNoOptionText) +
        "\n\n"
        "COM1 to COM4 are the serial devices named by TK358FW_COM1 to TK358FW_COM4, or else\n"
        "the serial devices found on this machine (--list-ports shows which).\n"
        "Exit status: 0 installed, 1 failed, 2 ended by the user's choice.");

    try {
        app.parse(argc, argv);
    } catch (const CLI::CallForVersion& version) {
        out << version.what() << '\n';
        result.action = CommandLine::Action::Exit;
        result.exitStatus = 0;
        return result;
    } catch (const CLI::CallForHelp&) {
        out << app.help();
        result.action = CommandLine::Action::Exit;
        result.exitStatus = 0;
        return result;
    } catch (const CLI::ParseError& error) {
        err << "tk358fw: " << error.what() << "\n\n" << app.help();
        result.action = CommandLine::Action::Exit;
        result.exitStatus = kUsageErrorStatus;
        return result;
    } catch (const std::exception& error) {
        err << "tk358fw: " << error.what() << '\n';
        result.action = CommandLine::Action::Exit;
        result.exitStatus = kUsageErrorStatus;
        return result;
    }
    if (listPorts) {
        result.action = CommandLine::Action::ListPorts;
    } else {
        result.action = console ? CommandLine::Action::Console : CommandLine::Action::Gui;
    }
    return result;
}

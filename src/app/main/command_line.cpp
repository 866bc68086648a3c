#include "command_line.hpp"

#include <CLI/CLI.hpp>
#include <ostream>
#include <string>

#include "generated/version.hpp"
#include "serial/serial.hpp"

namespace {

#if defined(TK358_HAVE_GUI) || defined(TK358_HAVE_WIN32GUI)
constexpr const char* kNoOptionText = "Without options: the desktop application.";
#else
constexpr const char* kNoOptionText =
    "Without options: the desktop application (not in this build).";
#endif

constexpr int kUsageErrorStatus = 1;

constexpr const char* kUnattendedText =
    "\n\n"
    "With --port and --file the update runs unattended: nothing is read from standard input,\n"
    "a question with Continue or Quit takes Quit, messages are shown and passed. For example:\n"
    "  tk358fw --console --port /dev/ttyUSB0 --file TK358_0120.fw --trace update.trace";

// --port: AUTO, COM1 to COM4 or 1 to 4, or a device of this system (a path; on Windows a port
// name such as COM7), which then stands for COM1. False for anything else.
bool ParsePortOption(const std::string& value, int16_t* port, std::string* device) {
    if (NamesSystemDevice(value)) {
        *port = 1;
        *device = value;
        return true;
    }
    return !NormaliseAnswer(value).empty() && ParsePortAnswer(value, port) == ConsoleChoice::Port;
}

// --port, --file (with --console) and --trace.
void AddUnattendedOptions(CLI::App& app, std::string* port, std::string* file,
                          std::string* tracePath) {
    CLI::Option* portOption =
        app.add_option("--port", *port,
                       "answers the port question: AUTO, COM1 to COM4, 1 to 4, or a device "
                       "(/dev/ttyUSB0; on Windows COM7), which then stands for COM1")
            ->type_name("PORT")
            ->check(CLI::Validator(
                [](const std::string& value) {
                    int16_t number = 0;
                    std::string device;
                    return ParsePortOption(value, &number, &device)
                               ? std::string()
                               : "PORT is AUTO, COM1 to COM4, 1 to 4 or a device: " + value;
                },
                ""));
    CLI::Option* fileOption =
        app.add_option("--file", *file, "answers the file question with this firmware file")
            ->type_name("FILE")
            ->check(CLI::Validator(
                [](const std::string& value) {
                    const bool blank = value.find_first_not_of(" \t") == std::string::npos;
                    return blank ? std::string("FILE is empty") : std::string();
                },
                ""));
    if (CLI::Option* console = app.get_option_no_throw("--console"); console != nullptr) {
        portOption->needs(console);
        fileOption->needs(console);
    }
    app.add_option("--trace", *tracePath,
                   "writes what goes over the serial line to FILE (also TK358FW_TRACE=FILE)")
        ->envname("TK358FW_TRACE")
        ->type_name("FILE");
    app.footer(app.get_footer() + kUnattendedText);
}

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
    app.footer(std::string(kNoOptionText) + "\n\n" + SystemPortsHelp() +
               "\n"
               "Exit status: 0 installed, 1 failed, 2 ended by the user's choice.");
    std::string port;
    std::string file;
    AddUnattendedOptions(app, &port, &file, &result.tracePath);

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
    if (!port.empty()) {
        int16_t number = 0;
        ParsePortOption(port, &number, &result.portDevice);
        result.answers.port = number;
    }
    if (!file.empty()) {
        result.answers.file = file;
    }
    return result;
}

// Runs one update with the terminal front end.
#include <unistd.h>

#include <filesystem>
#include <iostream>

#include "app/app.hpp"

int RunConsoleUpdate(IPortSystem& ports, std::istream& in, std::ostream& out, bool terminal,
                     bool echoInput, const ConsoleAnswers& answers,
                     const std::string& retryProcedure) {
    CConsoleUserInterface ui(in, out, terminal, echoInput, CPresetAnswers(answers));
    ui.SetRetryProcedure(retryProcedure);
    CFirmwareUpdater updater(ui, ports);
    g_pUpdater = &updater;
    ui.Attach(&updater);
    // A file given ahead is checked before the port is opened.
    updater.CheckFileFirst(answers.file.has_value());
    updater.ShowPrompt(PromptSelectPort);
    const CFirmwareUpdater::Outcome outcome = updater.RunUpdate();
    out.flush();
    g_pUpdater = nullptr;
    return ExitStatusFor(outcome);
}

int RunConsoleUpdate(IPortSystem& ports, const ConsoleAnswers& answers) {
    const bool outputIsTerminal = ::isatty(STDOUT_FILENO) != 0;
    const bool inputIsTerminal = ::isatty(STDIN_FILENO) != 0;
    const std::filesystem::path program = RunningProgram();
    const std::string retryProcedure =
        program.empty() ? std::string() : InstalledRetryProcedure(program);
    return RunConsoleUpdate(ports, std::cin, std::cout, outputIsTerminal, !inputIsTerminal, answers,
                            retryProcedure);
}

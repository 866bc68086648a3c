// The terminal front end: the workflow's dialogs, messages and progress on a line-based terminal.
#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <istream>
#include <ostream>
#include <system_error>
#include <utility>

#include "app/app.hpp"

namespace {

constexpr int kBarWidth = 30;  // characters of the in-place bar (one per 3 percent, rounded down)
constexpr size_t kStageTextWidth = 31;  // the longest stage text

std::string FormatPercent(int percent) {
    char figure[16];
    std::snprintf(figure, sizeof figure, "%3d%%", percent);
    return figure;
}

// The progress window of the terminal: a bar redrawn in place on a terminal, otherwise a line at
// the start, at every tenth percent and at the end.
class CConsoleProgressWindow final : public IProgressWindow {
  public:
    CConsoleProgressWindow(std::ostream& out, bool terminal) : m_out(out), m_terminal(terminal) {}

    void ShowProgress(uint32_t stage, int16_t percent, const char* text) override {
        if (text != nullptr) {
            m_text = text;
        }
        if (m_terminal) {
            DrawBar(percent);
        } else {
            WriteLine(stage, percent);
        }
    }

    void CloseProgress() override {
        if (m_terminal && m_drawn) {
            m_out << '\n';
            m_out.flush();
        }
        m_drawn = false;
    }

  private:
    void DrawBar(int16_t percent) {
        const int filled = std::clamp(percent * kBarWidth / 100, 0, kBarWidth);
        std::string line = "\r" + m_text;
        line.resize(std::max(line.size(), kStageTextWidth + 1), ' ');
        line += " [" + std::string(static_cast<size_t>(filled), '#') +
                std::string(static_cast<size_t>(kBarWidth - filled), '.') + "] " +
                FormatPercent(percent);
        m_out << line;
        m_out.flush();
        m_drawn = true;
    }

    void WriteLine(uint32_t stage, int16_t percent) {
        const int tenth = percent / 10;
        if (stage == 1 && tenth <= m_lastTenth) {
            return;
        }
        if (stage <= 1) {
            m_lastTenth = tenth;
        }
        m_out << m_text << ' ' << FormatPercent(percent) << '\n';
        m_out.flush();
    }

    std::ostream& m_out;
    bool m_terminal;
    bool m_drawn = false;
    int m_lastTenth = -1;
    std::string m_text;
};

}  // namespace

CConsoleUserInterface::CConsoleUserInterface(std::istream& in, std::ostream& out, bool terminal,
                                             bool echoInput, CPresetAnswers answers)
    : m_in(in),
      m_out(out),
      m_terminal(terminal),
      m_echoInput(echoInput),
      m_presets(std::move(answers)) {}

void CConsoleUserInterface::Attach(CFirmwareUpdater* updater) {
    m_updater = updater;
    if (updater != nullptr) {
        updater->m_pPromptBar = this;
    }
}

CConsoleUserInterface::Answer CConsoleUserInterface::Ask(CPresetAnswers::Question kind,
                                                         const std::string& question,
                                                         std::string* line) {
    m_out << question;
    std::optional<std::string> given = m_presets.Take(kind);
    if (!given && ResultShownWithoutWaiting()) {
        given = CPresetAnswers::SafeAnswer(kind);
    }
    if (given) {
        *line = std::move(*given);
        m_out << TerminalLine(*line) << '\n';
        m_out.flush();
        return Answer::GivenAhead;
    }
    m_out.flush();
    if (!std::getline(m_in, *line)) {
        m_out << '\n';
        m_out.flush();
        return Answer::EndOfInput;
    }
    if (!line->empty() && line->back() == '\r') {
        line->pop_back();
    }
    if (m_echoInput) {
        m_out << TerminalLine(*line) << '\n';
        m_out.flush();
    }
    return Answer::Read;
}

void CConsoleUserInterface::WriteTitle() {
    m_out << '\n' << LoadString(kStrTitle) << '\n';
}

ViewRect CConsoleUserInterface::ViewClientRect() {
    return ViewRect{0, 0, 80, 24};
}

void CConsoleUserInterface::RepaintView() {}

int CConsoleUserInterface::RunPortDialog(int16_t* port) {
    WriteTitle();
    m_out << "Connect Port: AUTO COM1 COM2 COM3 COM4\n";
    if (m_updater != nullptr) {
        m_out << PortLines(m_updater->Ports());
    }
    for (;;) {
        std::string line;
        if (Ask(CPresetAnswers::Question::Port, "Port (Enter: AUTO) or Quit: ", &line) ==
            Answer::EndOfInput) {
            return kDialogQuit;
        }
        int16_t chosen = 0;
        const ConsoleChoice choice = ParsePortAnswer(line, &chosen);
        if (choice == ConsoleChoice::Quit) {
            return kDialogQuit;
        }
        if (choice == ConsoleChoice::Port) {
            // As the dialog's OK does: the port, then the searching prompt.
            *port = chosen;
            if (m_updater != nullptr) {
                m_updater->ShowPrompt(PromptSearching);
            }
            return kDialogOk;
        }
    }
}

int CConsoleUserInterface::RunTextDialog(DialogId dialog, const std::string& text) {
    WriteTitle();
    m_out << TerminalText(text) << '\n';
    std::string line;
    if (dialog == kDialogImagesPresent) {
        // Its only button is Quit: any line, and the end of input, close it.
        Ask(CPresetAnswers::Question::Acknowledge, "Quit (Enter): ", &line);
        return kDialogQuit;
    }
    if (dialog == kDialogSuccess) {
        Ask(CPresetAnswers::Question::Acknowledge, "OK (Enter): ", &line);
        return kDialogOk;
    }
    for (;;) {
        if (Ask(CPresetAnswers::Question::ContinueOrQuit,
                "Continue or Quit (Enter: Continue): ", &line) == Answer::EndOfInput) {
            return kDialogQuit;
        }
        const ConsoleChoice choice = ParseContinueQuitAnswer(line);
        if (choice == ConsoleChoice::Continue) {
            return kDialogOk;
        }
        if (choice == ConsoleChoice::Quit) {
            return kDialogQuit;
        }
    }
}

void CConsoleUserInterface::ShowMessage(const std::string& text, const std::string& extendedText) {
    if (m_terminal) {
        m_out << '\a';
    }
    WriteTitle();
    m_out << TerminalText(text) << '\n';
    if (!extendedText.empty()) {
        // The reasons quote devices, programs and the system's words: nothing of them may drive
        // the terminal (made visible once more; what is made visible stays as it is).
        m_out << '\n' << TerminalText(extendedText);
    }
    if (text == LoadString(kStrUpdateFailed) && !m_retryProcedure.empty()) {
        m_out << "The retry procedure: " << TerminalLine(m_retryProcedure) << '\n';
    }
    std::string line;
    Ask(CPresetAnswers::Question::Acknowledge, "OK (Enter): ", &line);
}

int16_t CConsoleUserInterface::ChooseFile(const std::string& filter,
                                          const std::string& /*initialName*/, std::string* path) {
    // The description of the file types is the filter's text before its first bar.
    std::string description = filter.substr(0, filter.find('|'));
    description.erase(description.find_last_not_of(' ') + 1);
    WriteTitle();
    for (;;) {
        std::string line;
        const Answer answer = Ask(CPresetAnswers::Question::File,
                                  description + ", path of the file (Enter: cancel): ", &line);
        if (answer == Answer::EndOfInput) {
            return kChooseCancelled;
        }
        std::error_code error;
        if (answer == Answer::GivenAhead) {
            // A path given ahead (--file) is taken as the shell gave it. What exists goes to the
            // loader, which refuses what is no regular file; a missing one is not asked again:
            // the choice fails and the workflow says why.
            const std::filesystem::path given = PathFromUtf8(line);
            if (line.empty() || !std::filesystem::exists(given, error)) {
                return kChooseDialogFailed;
            }
            const std::filesystem::path full = std::filesystem::absolute(given, error);
            *path = error ? line : Utf8FromPath(full);
            return kChooseOk;
        }
        // Blanks around a typed path are dropped, then one pair of double quotes around it; its
        // letters keep their case.
        const size_t begin = line.find_first_not_of(" \t");
        if (begin == std::string::npos) {
            return kChooseCancelled;
        }
        const size_t end = line.find_last_not_of(" \t");
        const std::string_view typed =
            WithoutSurroundingQuotes(std::string_view(line).substr(begin, end - begin + 1));
        const std::filesystem::path chosen = PathFromUtf8(typed);
        if (typed.empty() || !std::filesystem::exists(chosen, error)) {
            // Like the desktop's file dialog, only an existing file can be chosen.
            m_out << LoadString(kStrFileNotFound) << '\n';
        } else if (std::filesystem::is_directory(chosen, error)) {
            // It exists but holds no firmware: asked again, as the dialog would open the folder.
            m_out << LoadString(kStrFileError) << '\n';
        } else {
            const std::filesystem::path full = std::filesystem::absolute(chosen, error);
            *path = Utf8FromPath(error ? chosen : full);
            return kChooseOk;
        }
    }
}

void CConsoleUserInterface::BeginWaitCursor() {}

void CConsoleUserInterface::EndWaitCursor() {}

std::unique_ptr<IProgressWindow> CConsoleUserInterface::CreateProgressWindow() {
    return std::make_unique<CConsoleProgressWindow>(m_out, m_terminal);
}

void CConsoleUserInterface::Repaint() {
    const std::string text = m_updater != nullptr ? m_updater->m_promptText : std::string();
    if (!text.empty() && text != m_lastPrompt) {
        // The camera's ID is part of it: one line, nothing in it reaches the terminal as control.
        m_out << TerminalLine(CameraTextToUtf8(text)) << '\n';
        m_out.flush();
    }
    m_lastPrompt = text;
}

// How the terminal front end reads its answer lines and shows the system's texts.
#include <cctype>

#include "app/app.hpp"

std::string NormaliseAnswer(std::string_view line) {
    size_t begin = 0;
    size_t end = line.size();
    while (begin < end && std::isspace(static_cast<unsigned char>(line[begin])) != 0) {
        ++begin;
    }
    while (end > begin && std::isspace(static_cast<unsigned char>(line[end - 1])) != 0) {
        --end;
    }
    std::string answer(line.substr(begin, end - begin));
    for (char& c : answer) {
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    }
    return answer;
}

ConsoleChoice ParsePortAnswer(std::string_view line, int16_t* port) {
    const std::string answer = NormaliseAnswer(line);
    if (answer.empty() || answer == "AUTO") {
        *port = 0;
        return ConsoleChoice::Port;
    }
    if (answer == "Q" || answer == "QUIT") {
        return ConsoleChoice::Quit;
    }
    for (int16_t n = 1; n <= 4; ++n) {
        const std::string digit(1, static_cast<char>('0' + n));
        if (answer == digit || answer == "COM" + digit) {
            *port = n;
            return ConsoleChoice::Port;
        }
    }
    return ConsoleChoice::AskAgain;
}

ConsoleChoice ParseContinueQuitAnswer(std::string_view line) {
    const std::string answer = NormaliseAnswer(line);
    if (answer.empty() || answer == "C" || answer == "CONTINUE") {
        return ConsoleChoice::Continue;
    }
    if (answer == "Q" || answer == "QUIT") {
        return ConsoleChoice::Quit;
    }
    return ConsoleChoice::AskAgain;
}

std::string TerminalText(std::string_view text) {
    std::string shown;
    shown.reserve(text.size());
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\r') {
            if (i + 1 < text.size() && text[i + 1] == '\n') {
                continue;  // the line feed that follows makes the break
            }
            shown += '\n';
        } else {
            shown += text[i];
        }
    }
    return shown;
}

// How the terminal front end reads its answer lines and shows texts: the system's own and those
// from outside (the camera, files, input), which never reach the terminal as control sequences.
#include <algorithm>
#include <cctype>
#include <cstdint>
#include <cstdio>

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

namespace {

// Length of the UTF-8 sequence at text[i] and its code point, or 0 when it is no valid sequence
// (stray continuation byte, overlong form, surrogate, beyond U+10FFFF, cut short).
size_t DecodeUtf8(std::string_view text, size_t i, uint32_t* codePoint) {
    const auto byte = [&](size_t k) { return static_cast<uint8_t>(text[k]); };
    const uint8_t lead = byte(i);
    if (lead < 0x80) {
        *codePoint = lead;
        return 1;
    }
    // Lead byte pattern, the sequence's length, and the lowest code point that needs it.
    struct Form {
        uint8_t mask;
        uint8_t pattern;
        size_t length;
        uint32_t lowest;
    };
    constexpr Form kForms[] = {
        {0xE0, 0xC0, 2, 0x80}, {0xF0, 0xE0, 3, 0x800}, {0xF8, 0xF0, 4, 0x10000}};
    const Form* form = std::find_if(std::begin(kForms), std::end(kForms),
                                    [lead](const Form& f) { return (lead & f.mask) == f.pattern; });
    if (form == std::end(kForms)) {
        return 0;
    }
    const size_t length = form->length;
    uint32_t value = lead & static_cast<uint8_t>(~form->mask);
    if (i + length > text.size()) {
        return 0;
    }
    for (size_t k = 1; k < length; ++k) {
        if ((byte(i + k) & 0xC0) != 0x80) {
            return 0;
        }
        value = (value << 6) | (byte(i + k) & 0x3Fu);
    }
    if (value < form->lowest || value > 0x10FFFF || (value >= 0xD800 && value <= 0xDFFF)) {
        return 0;
    }
    *codePoint = value;
    return length;
}

// Appends `text` with every control character (C0, DEL, C1) and every byte that is no UTF-8
// shown as an escape, so that nothing in it can drive the terminal. With `lineBreaks`, a line
// feed stays and a carriage return (alone or before a line feed) becomes one.
std::string MadeVisible(std::string_view text, bool lineBreaks) {
    std::string shown;
    shown.reserve(text.size());
    char escape[8];
    for (size_t i = 0; i < text.size();) {
        uint32_t codePoint = 0;
        const size_t length = DecodeUtf8(text, i, &codePoint);
        if (length == 0) {
            std::snprintf(escape, sizeof escape, "\\x%02x", static_cast<uint8_t>(text[i]));
            shown += escape;
            ++i;
            continue;
        }
        if (lineBreaks && codePoint == '\r') {
            if (i + 1 >= text.size() || text[i + 1] != '\n') {
                shown += '\n';  // a line feed that follows makes the break itself
            }
        } else if (lineBreaks && codePoint == '\n') {
            shown += '\n';
        } else if (codePoint < 0x20 || codePoint == 0x7F) {
            std::snprintf(escape, sizeof escape, "\\x%02x", static_cast<unsigned>(codePoint));
            shown += escape;
        } else if (codePoint >= 0x80 && codePoint <= 0x9F) {
            std::snprintf(escape, sizeof escape, "\\u%04x", static_cast<unsigned>(codePoint));
            shown += escape;
        } else {
            shown.append(text.substr(i, length));
        }
        i += length;
    }
    return shown;
}

}  // namespace

std::string TerminalText(std::string_view text) {
    return MadeVisible(text, true);
}

std::string TerminalLine(std::string_view text) {
    return MadeVisible(text, false);
}

// The prompt line as the desktop front ends draw it: the camera's bytes made visible the way the
// terminal shows them, on one line, short enough that its end (the firmware version) is on the
// screen whatever the camera ID holds.
#include <algorithm>
#include <cstddef>
#include <string>
#include <vector>

#include "app/app.hpp"
#include "app/desktop/desktop.hpp"

namespace {

// Characters (code points) in UTF-8 text.
size_t CharacterCount(std::string_view text) {
    return static_cast<size_t>(std::count_if(text.begin(), text.end(), [](char c) {
        return (static_cast<unsigned char>(c) & 0xC0) != 0x80;  // no continuation byte
    }));
}

}  // namespace

std::string PromptLineText(std::string_view promptText) {
    // Each byte made visible on its own, so that a shortened line never cuts an escape in two.
    std::vector<std::string> pieces;
    pieces.reserve(promptText.size());
    size_t length = 0;
    for (size_t i = 0; i < promptText.size(); ++i) {
        pieces.push_back(TerminalLine(CameraTextToUtf8(promptText.substr(i, 1))));
        length += CharacterCount(pieces.back());
    }
    std::string line;
    if (length <= kPromptLineMaxCharacters) {
        for (const std::string& piece : pieces) {
            line += piece;
        }
        return line;
    }
    // Too long: the middle gives way to an ellipsis; the end, which holds the version, stays.
    size_t tail = pieces.size();
    size_t tailLength = 0;
    while (tail > 0 && tailLength + CharacterCount(pieces[tail - 1]) <= kPromptLineKeptEnd) {
        --tail;
        tailLength += CharacterCount(pieces[tail]);
    }
    size_t headLength = 0;
    for (size_t i = 0; i < tail; ++i) {
        const size_t n = CharacterCount(pieces[i]);
        if (headLength + n + 1 + tailLength > kPromptLineMaxCharacters) {
            break;
        }
        line += pieces[i];
        headLength += n;
    }
    line += "\u2026";
    for (size_t i = tail; i < pieces.size(); ++i) {
        line += pieces[i];
    }
    return line;
}

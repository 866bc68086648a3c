// UTF-8 text inside the program: paths made the system's and back, and text cut at whole
// characters.
#include <filesystem>
#include <string>
#include <string_view>

#include "app/app.hpp"

std::filesystem::path PathFromUtf8(std::string_view text) {
    return std::filesystem::path(
        std::u8string(reinterpret_cast<const char8_t*>(text.data()), text.size()));
}

std::string Utf8FromPath(const std::filesystem::path& path) {
    const std::u8string text = path.u8string();
    return std::string(reinterpret_cast<const char*>(text.data()), text.size());
}

size_t WholeUtf8Length(std::string_view text) {
    // Back over the continuation bytes at the end to the start of the last character.
    size_t start = text.size();
    while (start > 0 && (static_cast<unsigned char>(text[start - 1]) & 0xC0) == 0x80 &&
           text.size() - start < 3) {
        --start;
    }
    if (start == 0) {
        return text.size();
    }
    const auto lead = static_cast<unsigned char>(text[start - 1]);
    size_t length = 1;  // a byte that starts no longer character (0xF8 to 0xFF start none)
    if (lead >= 0xF8) {
        length = 1;
    } else if (lead >= 0xF0) {
        length = 4;
    } else if (lead >= 0xE0) {
        length = 3;
    } else if (lead >= 0xC0) {
        length = 2;
    }
    // A character cut short waits for its rest; anything else (whole, or no UTF-8) goes.
    return text.size() - (start - 1) < length ? start - 1 : text.size();
}

std::string_view WithoutSurroundingQuotes(std::string_view path) {
    if (path.size() >= 2 && path.front() == '"' && path.back() == '"') {
        return path.substr(1, path.size() - 2);
    }
    return path;
}

// The two version fields of a firmware file: two ASCII characters each, read as signed decimals.
#include <cstdint>

#include "firmware/firmware.hpp"

namespace {

bool IsBlank(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

// Converts a 0-terminated buffer as a signed decimal: leading white space and one sign accepted,
// stopping at the first character that is not a digit; no digits give 0.
int16_t ConvertDecimal(const char* text) {
    const char* p = text;
    while (IsBlank(*p)) {
        ++p;
    }
    bool negative = false;
    if (*p == '+' || *p == '-') {
        negative = *p == '-';
        ++p;
    }
    int value = 0;
    while (*p >= '0' && *p <= '9') {
        value = value * 10 + (*p - '0');
        ++p;
    }
    return static_cast<int16_t>(negative ? -value : value);
}

// One field: its two characters (0 where the file has none) in a three-character buffer.
int16_t ConvertField(std::span<const uint8_t> field, size_t offset) {
    char buffer[3] = {0, 0, 0};
    for (size_t i = 0; i < 2; ++i) {
        if (offset + i < field.size()) {
            buffer[i] = static_cast<char>(field[offset + i]);
        }
    }
    return ConvertDecimal(buffer);
}

}  // namespace

void ParseFirmwareVersion(std::span<const uint8_t> field, int16_t* major, int16_t* minor) {
    *major = ConvertField(field, 0);
    *minor = ConvertField(field, 2);
}

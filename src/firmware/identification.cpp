// The identification text at the start of a firmware file.
#include <cstdint>

#include "firmware/firmware.hpp"

const char kIdentificationText[] = "Orvia Lumen Precision TK358 zoom camera. Firmware";

int16_t CompareIdentification(std::span<const uint8_t> image, const char* text, int count) {
    for (int i = 0; i < count; ++i) {
        const auto index = static_cast<size_t>(i);
        if (index >= image.size()) {
            return 1;
        }
        const uint8_t fileByte = image[index];
        const auto textByte = static_cast<uint8_t>(text[index]);
        if (fileByte != textByte || fileByte == 0) {
            return 1;
        }
    }
    return 0;
}

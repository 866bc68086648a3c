// Writes a valid sample firmware file: the identification text, the version fields and a
// deterministic 196,608-byte image.
//
//   make_sample_firmware OUTPUT VERSION      e.g. make_sample_firmware sample.fw 1.20
//
// The minor part is written with the digits given ("1.20" -> "01" "20", "1.5" -> "01" "05"), so
// the version reads back as it was written.
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iostream>
#include <string>
#include <vector>

#include "firmware/firmware.hpp"

namespace {

// One version part: one or two decimal digits.
bool ParsePart(const std::string& text, int* value) {
    if (text.empty() || text.size() > 2) {
        return false;
    }
    *value = 0;
    for (const char c : text) {
        if (c < '0' || c > '9') {
            return false;
        }
        *value = *value * 10 + (c - '0');
    }
    return true;
}

bool ParseVersion(const std::string& version, int* major, int* minor) {
    const size_t dot = version.find('.');
    return dot != std::string::npos && ParsePart(version.substr(0, dot), major) &&
           ParsePart(version.substr(dot + 1), minor);
}

std::vector<uint8_t> MakeFile(int major, int minor) {
    std::vector<uint8_t> file(kFirmwareCompleteBytes, 0);
    std::memcpy(file.data(), kIdentificationText, std::strlen(kIdentificationText));
    char fields[24];  // two parts of at most two digits each fill the first four
    std::snprintf(fields, sizeof fields, "%02d%02d", major, minor);
    std::memcpy(file.data() + kFirmwareVersionOffset, fields, 4);
    // The image: a fixed pseudo-random sequence (xorshift32), the same on every run.
    uint32_t state = 0x2545F491u;
    for (size_t i = kFirmwareHeaderBytes; i < file.size(); ++i) {
        state ^= state << 13;
        state ^= state >> 17;
        state ^= state << 5;
        file[i] = static_cast<uint8_t>(state >> 24);
    }
    return file;
}

}  // namespace

int main(int argc, char** argv) {
    int major = 0;
    int minor = 0;
    if (argc != 3 || !ParseVersion(argv[2], &major, &minor)) {
        std::cerr << "Usage: make_sample_firmware OUTPUT VERSION   (VERSION like 1.20; each part "
                     "0 to 99)\n";
        return 1;
    }
    const std::vector<uint8_t> file = MakeFile(major, minor);
    std::ofstream out(argv[1], std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(file.data()),
              static_cast<std::streamsize>(file.size()));
    out.close();
    if (!out) {
        std::cerr << "make_sample_firmware: cannot write " << argv[1] << "\n";
        return 1;
    }
    return 0;
}

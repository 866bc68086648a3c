// Fuzz target: the firmware file operations on a file of any content and size: loading it whole,
// the identification check, the version fields, and the initial name taken from a filter text.
//
// Input: byte 0 the identification count to compare, the rest the file content (repeated up to
// the size of a complete file when bit 7 of byte 0 is set, so that large files are covered too).
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "firmware/firmware.hpp"

namespace {

void Check(bool condition) {
    if (!condition) {
        std::abort();
    }
}

std::string TempPath() {
    static const std::string path = "/tmp/tk358-fuzz-fw-" + std::to_string(::getpid()) + ".fw";
    return path;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 1) {
        return 0;
    }
    const int count = static_cast<int8_t>(data[0]);
    std::vector<uint8_t> content(data + 1, data + size);
    if ((data[0] & 0x80) != 0 && !content.empty()) {
        const size_t part = content.size();
        content.resize(kFirmwareCompleteBytes + (part % 3));
        for (size_t i = part; i < content.size(); ++i) {
            content[i] = content[i % part];
        }
    }

    const std::string path = TempPath();
    if (FILE* f = std::fopen(path.c_str(), "wb")) {
        if (!content.empty()) {
            std::fwrite(content.data(), 1, content.size(), f);
        }
        std::fclose(f);
    }

    FirmwareImage image;
    int64_t fileSize = -1;
    const LoadOutcome outcome = LoadFirmwareFile(path, &image, &fileSize);
    std::remove(path.c_str());
    if (outcome == LoadOutcome::Loaded) {
        Check(image.bytes == content);
        Check(fileSize == static_cast<int64_t>(content.size()));
        Check(image.Data().size() ==
              (content.size() > kFirmwareHeaderBytes ? content.size() - kFirmwareHeaderBytes : 0));
    } else {
        Check(content.empty());
        Check(image.bytes.empty());
    }

    const int16_t compared = CompareIdentification(image.bytes, kIdentificationText, count);
    Check(compared == 0 || compared == 1);
    if (count > 0 && image.bytes.size() < static_cast<size_t>(count)) {
        Check(compared == 1);
    }

    int16_t major = -1;
    int16_t minor = -1;
    const std::span<const uint8_t> bytes(content);
    ParseFirmwareVersion(bytes.size() > kFirmwareVersionOffset
                             ? bytes.subspan(kFirmwareVersionOffset)
                             : std::span<const uint8_t>(),
                         &major, &minor);
    ParseFirmwareVersion(bytes, &major, &minor);

    const std::string filter(content.begin(),
                             content.begin() + std::min<size_t>(content.size(), 64));
    const std::string name = InitialNameFromFilter(filter);
    Check(name.empty() || (name.size() <= 5 && name.compare(0, 2, "*.") == 0));
    return 0;
}

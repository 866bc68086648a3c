// Loading a firmware file whole.
#include <cstdint>
#include <fstream>
#include <limits>

#include "firmware/firmware.hpp"

std::span<const uint8_t> FirmwareImage::Data() const {
    if (bytes.size() <= kFirmwareHeaderBytes) {
        return {};
    }
    return std::span<const uint8_t>(bytes).subspan(kFirmwareHeaderBytes);
}

LoadOutcome LoadFirmwareFile(const std::string& path, FirmwareImage* image, int64_t* size) {
    *size = 0;
    image->bytes.clear();

    // Binary: no byte of the file is translated or taken for its end.
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        return LoadOutcome::OpenOrReadError;
    }

    // The size: seek to the end and back to where the file was.
    const std::streamoff start = in.tellg();
    in.seekg(0, std::ios::end);
    const std::streamoff end = in.tellg();
    in.seekg(start);
    if (start < 0 || end < 0 || !in) {
        return LoadOutcome::OpenOrReadError;
    }
    const int64_t found = end - start;
    *size = found;
    // The size is a positive 32-bit signed count.
    if (found <= 0 || found > std::numeric_limits<int32_t>::max()) {
        return LoadOutcome::OpenOrReadError;
    }

    std::vector<uint8_t> bytes(static_cast<size_t>(found), 0);
    in.read(reinterpret_cast<char*>(bytes.data()), static_cast<std::streamsize>(found));
    if (in.gcount() != found) {
        // Failed, or fewer bytes than the size found: never hand on a zero-padded image.
        return LoadOutcome::OpenOrReadError;
    }
    // A file that grew while it was read is not the file whose size was found.
    char extra = 0;
    if (in.read(&extra, 1).gcount() != 0) {
        return LoadOutcome::OpenOrReadError;
    }

    image->bytes = std::move(bytes);
    return LoadOutcome::Loaded;
}

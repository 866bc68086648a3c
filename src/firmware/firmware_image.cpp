// Loading a firmware file whole.
#include <cstdint>
#include <limits>
#include <new>
#include <utility>
#include <vector>

#include "firmware/firmware.hpp"
#include "firmware/regular_file.hpp"

std::span<const uint8_t> FirmwareImage::Data() const {
    if (bytes.size() <= kFirmwareHeaderBytes) {
        return {};
    }
    return std::span<const uint8_t>(bytes).subspan(kFirmwareHeaderBytes);
}

namespace {

// LoadFirmwareFile without its guard against allocation failures.
LoadOutcome LoadWholeFile(const std::string& path, FirmwareImage* image, int64_t* size) {
    *size = 0;
    image->bytes.clear();

    CRegularFile file(path);
    if (!file.IsOpen()) {
        return LoadOutcome::OpenOrReadError;
    }
    const int64_t found = file.RemainingSize();
    if (found < 0) {
        return LoadOutcome::OpenOrReadError;
    }
    *size = found;
    // The size is a positive 32-bit signed count.
    if (found == 0 || found > std::numeric_limits<int32_t>::max()) {
        return LoadOutcome::OpenOrReadError;
    }

    std::vector<uint8_t> bytes(static_cast<size_t>(found), 0);
    if (file.Read(bytes.data(), bytes.size()) != found) {
        // Failed, or fewer bytes than the size found: never hand on a zero-padded image.
        return LoadOutcome::OpenOrReadError;
    }
    // A file that grew while it was read is not the file whose size was found.
    uint8_t extra = 0;
    if (file.Read(&extra, 1) != 0) {
        return LoadOutcome::OpenOrReadError;
    }

    image->bytes = std::move(bytes);
    return LoadOutcome::Loaded;
}

}  // namespace

LoadOutcome LoadFirmwareFile(const std::string& path, FirmwareImage* image, int64_t* size) {
    // A file too big for the memory there is cannot be loaded: that is a read error like any
    // other, never an exception that leaves this layer.
    try {
        return LoadWholeFile(path, image, size);
    } catch (const std::bad_alloc&) {
        image->bytes.clear();
        return LoadOutcome::OpenOrReadError;
    }
}

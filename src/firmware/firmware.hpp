// Firmware image layer: the *.fw file layout, loading a file whole, checking its identification
// and reading its version.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

constexpr size_t kFirmwareHeaderBytes = 128;       // the image data starts here
constexpr size_t kFirmwareVersionOffset = 61;      // major at 61, minor at 63
constexpr size_t kFirmwareCompleteBytes = 196736;  // header and the 196,608-byte image
constexpr int kIdentificationCompared = 48;

// The identification text; only its first 48 characters are compared.
extern const char kIdentificationText[];

// A loaded firmware file: the whole file, byte for byte.
struct FirmwareImage {
    std::vector<uint8_t> bytes;

    size_t Size() const { return bytes.size(); }
    bool IsComplete() const { return bytes.size() >= kFirmwareCompleteBytes; }
    // The image data (from offset 128 on); empty when the file is shorter than its header.
    std::span<const uint8_t> Data() const;
};

enum class LoadOutcome { Loaded, OpenOrReadError };

// Reads the whole file. `size` receives the file size whenever it was found (else 0).
// A file that cannot be opened, is no regular file (FIFO, device, socket), is empty, cannot be
// read whole, does not fit in memory, or changes size while it is read gives OpenOrReadError and
// no image. Never blocks, never throws.
LoadOutcome LoadFirmwareFile(const std::string& path, FirmwareImage* image, int64_t* size);

// 0 when the first `count` bytes of `image` equal the first `count` characters of `text` and
// none of them is 0, else 1. A count of 0 or less gives 0; an image shorter than count gives 1.
int16_t CompareIdentification(std::span<const uint8_t> image, const char* text, int count);

// Reads the two 2-character decimal version fields that start at `field` (byte 61 of the file).
void ParseFirmwareVersion(std::span<const uint8_t> field, int16_t* major, int16_t* minor);

// The initial file name a file dialog shows for a filter: the five characters that start at the
// first "*." followed by anything but "*"; empty when there is none.
std::string InitialNameFromFilter(const std::string& filter);

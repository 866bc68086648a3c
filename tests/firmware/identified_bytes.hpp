// File contents that begin with the firmware identification.
#pragma once

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <vector>

#include "firmware/firmware.hpp"

namespace firmware_test {

// `size` bytes: the identification text (as much of it as fits), then 0x5A.
inline std::vector<uint8_t> Identified(size_t size) {
    std::vector<uint8_t> bytes(size, 0x5A);
    std::memcpy(bytes.data(), kIdentificationText, std::min<size_t>(size, 49));
    return bytes;
}

}  // namespace firmware_test

// Decoding the camera's 126-byte status block into its values.
#include <algorithm>

#include "camera/camera.hpp"

namespace {

uint16_t Byte(const StatusBlock& b, size_t at) {
    return b[at];
}

uint16_t Word(const StatusBlock& b, size_t at) {
    return static_cast<uint16_t>((b[at] << 8) | b[at + 1]);
}

int16_t SignedWord(const StatusBlock& b, size_t at) {
    return static_cast<int16_t>(Word(b, at));
}

uint32_t Long(const StatusBlock& b, size_t at) {
    return (static_cast<uint32_t>(Word(b, at)) << 16) | Word(b, at + 2);
}

// One decimal digit per byte: major tens, major units, minor tens, minor units.
uint32_t VersionDigits(uint8_t major, uint8_t minor) {
    return (static_cast<uint32_t>(major / 10) << 24) | (static_cast<uint32_t>(major % 10) << 16) |
           (static_cast<uint32_t>(minor / 10) << 8) | static_cast<uint32_t>(minor % 10);
}

// Bits 0-3 are the magnitude; bit 7 makes the value negative.
int16_t SignedNibble(uint8_t b) {
    const auto magnitude = static_cast<int16_t>(b & 0x0F);
    return (b & 0x80) != 0 ? static_cast<int16_t>(-magnitude) : magnitude;
}

}  // namespace

CameraStatus DecodeStatusBlock(const StatusBlock& b) {
    CameraStatus s;
    s.statusByte0 = Byte(b, 0x00);
    s.stateByte = Byte(b, 0x01);
    s.versionDigits = VersionDigits(b[0x02], b[0x03]);
    s.statusWord04 = Word(b, 0x04);
    s.statusWord06 = Word(b, 0x06);
    for (size_t i = 0; i < 4; ++i) {
        s.statusBytes08[i] = Byte(b, 0x08 + i);
        s.statusBytes1F[i] = Byte(b, 0x1F + i);
        s.store0Figures[i] = SignedWord(b, 0x2E + 2 * i);
        s.store1Figures[i] = SignedWord(b, 0x42 + 2 * i);
    }
    s.clock = Long(b, 0x0C);
    s.value10Low = static_cast<uint16_t>(b[0x10] & 0x0F);
    s.value10High = static_cast<uint16_t>((b[0x10] >> 4) & 0x03);
    s.statusByte11 = Byte(b, 0x11);
    s.statusByte12 = Byte(b, 0x12);
    s.modeIndex = Byte(b, 0x13);
    s.statusByte14 = Byte(b, 0x14);
    s.signedValue15 = SignedNibble(b[0x15]);
    s.statusByte16 = Byte(b, 0x16);
    s.statusByte17 = Byte(b, 0x17);
    s.statusLong18 = Long(b, 0x18);
    s.statusByte1D = Byte(b, 0x1D);
    s.storeFlags = b[0x1E];
    s.store0Pictures = SignedWord(b, 0x24);
    s.store1Pictures = SignedWord(b, 0x38);

    constexpr size_t kTextAt = 0x4D;
    constexpr size_t kTextLength = 11;
    std::copy_n(b.begin() + kTextAt, kTextLength, s.text.begin());
    s.text[kTextLength] = 0;

    constexpr size_t kIdAt = 0x5A;
    std::copy_n(b.begin() + kIdAt, kCameraIdLength, s.cameraId.begin());
    s.cameraId[kCameraIdLength] = 0;

    s.store0Groups = SignedWord(b, 0x7A);
    s.store1Groups = SignedWord(b, 0x7C);
    return s;
}

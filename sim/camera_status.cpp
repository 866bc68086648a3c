// The 126-byte status block, built from the camera's state (multi-byte values big-endian).
#include <algorithm>

#include "sim/camera_impl.hpp"

namespace sim {

namespace {

void Put16(std::array<uint8_t, 126>& block, size_t offset, int value) {
    const auto v = static_cast<uint16_t>(value);
    block[offset] = static_cast<uint8_t>(v >> 8);
    block[offset + 1] = static_cast<uint8_t>(v);
}

void Put32(std::array<uint8_t, 126>& block, size_t offset, uint32_t value) {
    for (size_t i = 0; i < 4; ++i) {
        block[offset + i] = static_cast<uint8_t>(value >> (24 - 8 * i));
    }
}

int ReportedGroups(const PictureStore& store) {
    return store.groups.empty() ? 0 : static_cast<int>(store.groups.size()) - 1;
}

void PutFigures(std::array<uint8_t, 126>& block, size_t offset, const PictureStore& store) {
    for (size_t mode = 0; mode < store.figures.size(); ++mode) {
        Put16(block, offset + 2 * mode, store.figures[mode]);
    }
}

}  // namespace

std::array<uint8_t, 126> VirtualCamera::BuildStatusBlock() const {
    const CameraState& s = m_state;
    std::array<uint8_t, 126> block{};
    block[0x00] = s.statusByte0;
    block[0x01] = s.stateByte;
    block[0x02] = s.versionMajor;
    block[0x03] = s.versionMinor;
    Put32(block, 0x0C, s.clock);
    block[0x13] = s.modeIndex;
    block[0x1E] = s.store1Present ? 0x80 : 0x00;
    Put16(block, 0x24, s.store0.pictures);
    PutFigures(block, 0x2E, s.store0);
    Put16(block, 0x38, s.store1.pictures);
    PutFigures(block, 0x42, s.store1);
    std::copy(s.text.begin(), s.text.end(), block.begin() + 0x4D);
    std::copy(s.cameraId.begin(), s.cameraId.end(), block.begin() + 0x5A);
    Put16(block, 0x7A, ReportedGroups(s.store0));
    Put16(block, 0x7C, ReportedGroups(s.store1));
    for (const auto& [offset, value] : s.statusOverrides) {
        if (offset < block.size()) {
            block[offset] = value;
        }
    }
    return block;
}

}  // namespace sim

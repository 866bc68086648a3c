// The status block: every field of the camera's state at its offset, big-endian.
#include <gtest/gtest.h>

#include "camera_bench.hpp"

namespace {

uint16_t At16(const std::array<uint8_t, 126>& b, size_t offset) {
    return static_cast<uint16_t>((b[offset] << 8) | b[offset + 1]);
}

TEST(CameraStatusBlock, EveryFieldStandsAtItsOffset) {
    camtest::CameraBench bench;
    sim::CameraState& s = bench.camera.State();
    s.statusByte0 = 0x5C;
    s.stateByte = 3;
    s.versionMajor = 12;
    s.versionMinor = 34;
    s.clock = 0xA1B2C3D4;
    s.modeIndex = 2;
    s.store1Present = true;
    s.store0.pictures = 300;
    s.store0.figures = {1, 2, -3, 0x0405};
    s.store1.pictures = -1;
    s.store1.figures = {0x1112, 0x1314, 0x1516, 0x1718};
    for (size_t i = 0; i < s.text.size(); ++i) {
        s.text[i] = static_cast<uint8_t>('a' + i);
    }
    for (size_t i = 0; i < s.cameraId.size(); ++i) {
        s.cameraId[i] = static_cast<uint8_t>('A' + i % 26);
    }
    s.store0.groups.resize(4);  // groups 0 to 3
    s.store1.groups.resize(1);  // group 0 only

    const auto b = bench.camera.BuildStatusBlock();
    EXPECT_EQ(b[0x00], 0x5C);
    EXPECT_EQ(b[0x01], 3);
    EXPECT_EQ(b[0x02], 12);
    EXPECT_EQ(b[0x03], 34);
    EXPECT_EQ(b[0x0C], 0xA1);
    EXPECT_EQ(b[0x0D], 0xB2);
    EXPECT_EQ(b[0x0E], 0xC3);
    EXPECT_EQ(b[0x0F], 0xD4);
    EXPECT_EQ(b[0x13], 2);
    EXPECT_EQ(b[0x1E], 0x80);
    EXPECT_EQ(At16(b, 0x24), 300);
    EXPECT_EQ(At16(b, 0x2E), 1);
    EXPECT_EQ(At16(b, 0x30), 2);
    EXPECT_EQ(At16(b, 0x32), 0xFFFD);
    EXPECT_EQ(At16(b, 0x34), 0x0405);
    EXPECT_EQ(At16(b, 0x38), 0xFFFF);
    EXPECT_EQ(At16(b, 0x42), 0x1112);
    EXPECT_EQ(At16(b, 0x44), 0x1314);
    EXPECT_EQ(At16(b, 0x46), 0x1516);
    EXPECT_EQ(At16(b, 0x48), 0x1718);
    for (size_t i = 0; i < 11; ++i) {
        EXPECT_EQ(b[0x4D + i], 'a' + i) << i;
    }
    for (size_t i = 0; i < 32; ++i) {
        EXPECT_EQ(b[0x5A + i], 'A' + i % 26) << i;
    }
    EXPECT_EQ(At16(b, 0x7A), 3);
    EXPECT_EQ(At16(b, 0x7C), 0);
    // Bytes without a field stay 0.
    for (const size_t i : {0x04, 0x05, 0x10, 0x15, 0x18, 0x1C, 0x23, 0x26, 0x36, 0x4A, 0x58}) {
        EXPECT_EQ(b[i], 0) << i;
    }
}

TEST(CameraStatusBlock, AbsentStoreOneClearsTheFlagAndOverridesComeLast) {
    camtest::CameraBench bench;
    sim::CameraState& s = bench.camera.State();
    s.store1Present = false;
    s.statusOverrides = {{0x15, 0x83}, {0x01, 7}, {200, 1}};
    const auto b = bench.camera.BuildStatusBlock();
    EXPECT_EQ(b[0x1E] & 0x80, 0);
    EXPECT_EQ(b[0x15], 0x83);
    EXPECT_EQ(b[0x01], 7);
    EXPECT_EQ(At16(b, 0x7A), 0) << "a store without groups reports none";
}

}  // namespace

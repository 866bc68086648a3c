// The status block decoding and the camera information record built from it.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>

#include "camera/camera.hpp"

namespace {

void PutWord(StatusBlock& b, size_t at, uint16_t v) {
    b[at] = static_cast<uint8_t>(v >> 8);
    b[at + 1] = static_cast<uint8_t>(v);
}

TEST(StatusBlockDecode, EveryFieldFromItsOffset) {
    StatusBlock b{};
    // A distinct value in every byte, so that a field read from a wrong offset shows.
    for (size_t i = 0; i < b.size(); ++i) {
        b[i] = static_cast<uint8_t>(i + 1);
    }
    b[0x02] = 12;
    b[0x03] = 34;
    b[0x10] = 0xE7;  // low nibble 7, bits 4-5 = 2, the rest ignored
    b[0x15] = 0x85;  // -5
    b[0x1E] = 0x80;
    PutWord(b, 0x24, 0xFFFE);  // -2: signed
    PutWord(b, 0x7C, 0x8000);

    const CameraStatus s = DecodeStatusBlock(b);
    EXPECT_EQ(s.statusByte0, 1);
    EXPECT_EQ(s.stateByte, 2);
    EXPECT_EQ(s.versionDigits, 0x01020304u);
    EXPECT_EQ(s.statusWord04, 0x0506);
    EXPECT_EQ(s.statusWord06, 0x0708);
    EXPECT_EQ(s.statusBytes08, (std::array<uint16_t, 4>{9, 10, 11, 12}));
    EXPECT_EQ(s.clock, 0x0D0E0F10u);
    EXPECT_EQ(s.value10Low, 7);
    EXPECT_EQ(s.value10High, 2);
    EXPECT_EQ(s.statusByte11, 0x12);
    EXPECT_EQ(s.statusByte12, 0x13);
    EXPECT_EQ(s.modeIndex, 0x14);
    EXPECT_EQ(s.statusByte14, 0x15);
    EXPECT_EQ(s.signedValue15, -5);
    EXPECT_EQ(s.statusByte16, 0x17);
    EXPECT_EQ(s.statusByte17, 0x18);
    EXPECT_EQ(s.statusLong18, 0x191A1B1Cu);
    EXPECT_EQ(s.statusByte1D, 0x1E);
    EXPECT_EQ(s.storeFlags, 0x80);
    EXPECT_TRUE(s.Store1Present());
    EXPECT_EQ(s.statusBytes1F, (std::array<uint16_t, 4>{0x20, 0x21, 0x22, 0x23}));
    EXPECT_EQ(s.store0Pictures, -2);
    EXPECT_EQ(s.store0Figures, (std::array<int16_t, 4>{0x2F30, 0x3132, 0x3334, 0x3536}));
    EXPECT_EQ(s.store1Pictures, 0x393A);
    EXPECT_EQ(s.store1Figures, (std::array<int16_t, 4>{0x4344, 0x4546, 0x4748, 0x494A}));
    for (size_t i = 0; i < 11; ++i) {
        EXPECT_EQ(static_cast<uint8_t>(s.text[i]), 0x4E + i) << i;
    }
    EXPECT_EQ(s.text[11], 0);
    for (size_t i = 0; i < kCameraIdLength; ++i) {
        EXPECT_EQ(static_cast<uint8_t>(s.cameraId[i]), 0x5B + i) << i;
    }
    EXPECT_EQ(s.cameraId[kCameraIdLength], 0);
    EXPECT_EQ(s.store0Groups, 0x7B7C);
    EXPECT_EQ(s.store1Groups, -32768);
}

TEST(StatusBlockDecode, SignedValueAndVersionDigits) {
    StatusBlock b{};
    const struct {
        uint8_t raw;
        int16_t value;
    } nibbles[] = {{0x00, 0},   {0x05, 5}, {0x0F, 15}, {0x7F, 15},
                   {0x8F, -15}, {0x80, 0}, {0xF3, -3}};
    for (const auto& n : nibbles) {
        b[0x15] = n.raw;
        EXPECT_EQ(DecodeStatusBlock(b).signedValue15, n.value) << int{n.raw};
    }

    b[0x02] = 1;
    b[0x03] = 5;
    EXPECT_EQ(DecodeStatusBlock(b).versionDigits, 0x00010005u);
    b[0x02] = 99;
    b[0x03] = 255;  // the tens of the minor number run past 9
    EXPECT_EQ(DecodeStatusBlock(b).versionDigits, 0x09091905u);
}

CameraStatus TwoStores(bool store1Present, uint16_t mode) {
    CameraStatus s;
    s.versionDigits = 0x00010005;
    s.storeFlags = store1Present ? 0x80 : 0x00;
    s.modeIndex = mode;
    s.store0Pictures = 2;
    s.store0Figures = {10, 11, 12, 13};
    s.store1Pictures = 3;
    s.store1Figures = {20, 21, 22, 23};
    return s;
}

TEST(CameraInfoFill, Store1AbsentGivesMinusOneAndStore0Totals) {
    CameraInfo info;
    FillCameraInfo(TwoStores(false, 1), &info);
    EXPECT_EQ(info.store0Pictures, 2);
    EXPECT_EQ(info.store0Figure, 11);
    EXPECT_EQ(info.store1Pictures, -1);
    EXPECT_EQ(info.store1Figure, -1);
    EXPECT_EQ(info.totalPictures, 2);
    EXPECT_EQ(info.totalFigure, 11);
    EXPECT_EQ(info.versionDigits, 0x00010005u);
    EXPECT_EQ(info.fixed80, 80);
    EXPECT_EQ(info.fixed60, 60);
    EXPECT_EQ(info.fixed1280, 1280);
    EXPECT_EQ(info.fixed960, 960);
}

TEST(CameraInfoFill, Store1PresentAddsToTotals) {
    CameraInfo info;
    FillCameraInfo(TwoStores(true, 3), &info);
    EXPECT_EQ(info.store1Pictures, 3);
    EXPECT_EQ(info.store1Figure, 23);
    EXPECT_EQ(info.totalPictures, 5);
    EXPECT_EQ(info.totalFigure, 13 + 23);
}

TEST(CameraInfoFill, ModeAbove3KeepsThePreviousFigures) {
    CameraInfo info;
    FillCameraInfo(TwoStores(true, 4), &info);  // no previous fill: figures stay 0
    EXPECT_EQ(info.store0Figure, 0);
    EXPECT_EQ(info.store1Figure, 0);
    EXPECT_EQ(info.totalFigure, 0);
    EXPECT_EQ(info.totalPictures, 5);

    FillCameraInfo(TwoStores(true, 2), &info);
    CameraStatus next = TwoStores(true, 200);
    next.store0Figures = {90, 91, 92, 93};
    FillCameraInfo(next, &info);
    EXPECT_EQ(info.store0Figure, 12);
    EXPECT_EQ(info.store1Figure, 22);
    EXPECT_EQ(info.totalFigure, 34);

    // An absent store 1 still reports -1, whatever the mode.
    FillCameraInfo(TwoStores(false, 9), &info);
    EXPECT_EQ(info.store1Figure, -1);
    EXPECT_EQ(info.totalFigure, 12);
}

}  // namespace

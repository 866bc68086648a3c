// Firmware file: loading whole files, the identification check, the version fields and the
// initial name taken from a filter.
#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "firmware/firmware.hpp"
#include "firmware/identified_bytes.hpp"
#include "temp_dir.hpp"

namespace {

using firmware_test::Identified;
using testdir::TempDir;

std::vector<uint8_t> Field(const char* text) {
    return std::vector<uint8_t>(text, text + std::strlen(text));
}

TEST(FirmwareLoad, CompleteAndLongerFilesAreLoadedWholeByteForByte) {
    TempDir dir;
    for (const size_t size : {kFirmwareCompleteBytes, kFirmwareCompleteBytes + 1000}) {
        std::vector<uint8_t> bytes = Identified(size);
        for (size_t i = 49; i < size; ++i) {
            bytes[i] = static_cast<uint8_t>(i * 7 + 3);
        }
        const std::string path = dir.Write("f.fw", bytes);
        FirmwareImage image;
        int64_t found = -1;
        ASSERT_EQ(LoadFirmwareFile(path, &image, &found), LoadOutcome::Loaded) << size;
        EXPECT_EQ(found, static_cast<int64_t>(size));
        EXPECT_EQ(image.bytes, bytes);
        EXPECT_TRUE(image.IsComplete());
        // The image data starts at byte 128; whatever follows the 196,608 bytes is carried along.
        ASSERT_EQ(image.Data().size(), size - kFirmwareHeaderBytes);
        EXPECT_EQ(image.Data()[0], bytes[128]);
    }
}

TEST(FirmwareLoad, ShortFileLoadsButIsNotComplete) {
    TempDir dir;
    const std::string path = dir.Write("short.fw", Identified(kFirmwareCompleteBytes - 1));
    FirmwareImage image;
    int64_t found = 0;
    ASSERT_EQ(LoadFirmwareFile(path, &image, &found), LoadOutcome::Loaded);
    EXPECT_FALSE(image.IsComplete());
    const std::string tiny = dir.Write("tiny.fw", Identified(100));
    ASSERT_EQ(LoadFirmwareFile(tiny, &image, &found), LoadOutcome::Loaded);
    EXPECT_TRUE(image.Data().empty());
}

TEST(FirmwareLoad, EmptyMissingAndUnreadableFilesGiveNoImage) {
    TempDir dir;
    FirmwareImage image;
    image.bytes = {1, 2, 3};  // a previous image is not kept
    int64_t found = -1;
    EXPECT_EQ(LoadFirmwareFile(dir.Write("empty.fw", {}), &image, &found),
              LoadOutcome::OpenOrReadError);
    EXPECT_EQ(found, 0);
    EXPECT_TRUE(image.bytes.empty());
    EXPECT_EQ(LoadFirmwareFile(dir.Path() + "/missing.fw", &image, &found),
              LoadOutcome::OpenOrReadError);
    EXPECT_EQ(LoadFirmwareFile(dir.Path(), &image, &found), LoadOutcome::OpenOrReadError);
    EXPECT_TRUE(image.bytes.empty());

    // Devices are refused, however much they would give.
#ifdef _WIN32
    for (const char* device : {"NUL", "\\\\.\\NUL"}) {
#else
    for (const char* device : {"/dev/zero", "/dev/null"}) {
#endif
        EXPECT_EQ(LoadFirmwareFile(device, &image, &found), LoadOutcome::OpenOrReadError) << device;
    }
    EXPECT_TRUE(image.bytes.empty());
}

TEST(FirmwareLoad, PathsOfAnyLengthAndAnyCharactersWork) {
    TempDir dir;
    std::string deep = dir.Path();
    while (deep.size() < 600) {
        deep += "/" + std::string(100, 'd');
    }
    std::filesystem::create_directories(deep);
    const std::string path = deep + "/" + std::string(200, 'f') + ".fw";
    {
        std::ofstream out(path, std::ios::binary);
        const std::vector<uint8_t> bytes = Identified(kFirmwareCompleteBytes);
        out.write(reinterpret_cast<const char*>(bytes.data()),
                  static_cast<std::streamsize>(bytes.size()));
    }
    ASSERT_GT(path.size(), 255u);
    FirmwareImage image;
    int64_t found = 0;
    EXPECT_EQ(LoadFirmwareFile(path, &image, &found), LoadOutcome::Loaded);
    EXPECT_EQ(found, static_cast<int64_t>(kFirmwareCompleteBytes));

    // UTF-8 names outside any one code page: Latin-1 and Cyrillic, in the folder and the file.
    const std::string folder =
        dir.Path() + "/J\u00fcrgen \u041f\u0440\u043e\u0448\u0438\u0432\u043a\u0438";
    std::filesystem::create_directories(testdir::Native(folder));
    for (const char* name :
         {"/k\u00fcrz.fw", "/\u043f\u0440\u043e\u0448\u0438\u0432\u043a\u0430.fw"}) {
        const std::string named = folder + name;
        std::ofstream(testdir::Native(named), std::ios::binary)
            .write(reinterpret_cast<const char*>(Identified(kFirmwareCompleteBytes).data()),
                   static_cast<std::streamsize>(kFirmwareCompleteBytes));
        found = 0;
        EXPECT_EQ(LoadFirmwareFile(named, &image, &found), LoadOutcome::Loaded) << named;
        EXPECT_EQ(found, static_cast<int64_t>(kFirmwareCompleteBytes)) << named;
    }
}

TEST(FirmwareIdentification, First48CharactersDecideAndNoneMayBeZero) {
    std::vector<uint8_t> image = Identified(200);
    EXPECT_EQ(CompareIdentification(image, kIdentificationText, 48), 0);
    // The 49th byte takes no part.
    for (const uint8_t b : {uint8_t{0}, uint8_t{'x'}, uint8_t{0xFF}}) {
        image[48] = b;
        EXPECT_EQ(CompareIdentification(image, kIdentificationText, 48), 0) << int{b};
    }
    // A differing byte, anywhere in the 48.
    for (const size_t at : {size_t{0}, size_t{20}, size_t{47}}) {
        std::vector<uint8_t> wrong = image;
        wrong[at] ^= 0x20;
        EXPECT_EQ(CompareIdentification(wrong, kIdentificationText, 48), 1) << at;
    }
    // A 0 byte is refused even where the text itself has a 0.
    std::vector<uint8_t> zero = image;
    zero[10] = 0;
    EXPECT_EQ(CompareIdentification(zero, kIdentificationText, 48), 1);
    const std::vector<uint8_t> nothing(8, 0);
    EXPECT_EQ(CompareIdentification(nothing, "\0\0\0\0", 4), 1);
    // No count compares nothing; an image shorter than the count is refused, not overread.
    EXPECT_EQ(CompareIdentification(nothing, kIdentificationText, 0), 0);
    EXPECT_EQ(CompareIdentification(nothing, kIdentificationText, -5), 0);
    EXPECT_EQ(CompareIdentification(std::span(image).first(30), kIdentificationText, 48), 1);
}

TEST(FirmwareVersion, FieldsReadAsSignedDecimals) {
    struct Case {
        const char* fields;
        int16_t major;
        int16_t minor;
    };
    const Case cases[] = {
        {"0120", 1, 20}, {"0105", 1, 5},  {" 7 7", 7, 7},  {"ABAB", 0, 0},   {"-3+4", -3, 4},
        {"9x1y", 9, 1},  {"  12", 0, 12}, {"--12", 0, 12}, {"9999", 99, 99},
    };
    for (const Case& c : cases) {
        int16_t major = -100;
        int16_t minor = -100;
        ParseFirmwareVersion(Field(c.fields), &major, &minor);
        EXPECT_EQ(major, c.major) << c.fields;
        EXPECT_EQ(minor, c.minor) << c.fields;
    }
    // The conversion stops at a 0 byte and never reads past the field.
    const std::vector<uint8_t> withZero = {'1', 0, '2', '3'};
    int16_t major = 0;
    int16_t minor = 0;
    ParseFirmwareVersion(withZero, &major, &minor);
    EXPECT_EQ(major, 1);
    EXPECT_EQ(minor, 23);
    ParseFirmwareVersion(std::span(withZero).first(3), &major, &minor);
    EXPECT_EQ(minor, 2);
}

TEST(FirmwareFilter, InitialNameIsTheFiveCharactersFromTheFirstPattern) {
    EXPECT_EQ(InitialNameFromFilter("Firmware Files (*.fw )   |*.fw||  "), "*.fw ");
    EXPECT_EQ(InitialNameFromFilter("All (*.*)|*.*|Images|*.bmp||"), "*.bmp");
    EXPECT_EQ(InitialNameFromFilter("No pattern here||"), "");
    EXPECT_EQ(InitialNameFromFilter("x*.ab"), "*.ab");
    EXPECT_EQ(InitialNameFromFilter("x*."), "*.");
}

}  // namespace

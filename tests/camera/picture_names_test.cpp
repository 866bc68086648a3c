// Names sent to the camera and the name table: the name rules, the table's layout, and the
// operations that read and write the table and select a name.
#include <gtest/gtest.h>

#include <algorithm>

#include "picture_fixture.hpp"

namespace {

using picture_test::Name;
using picture_test::PictureWorld;

constexpr uint8_t kOpWriteNameTable = 0x42;
constexpr uint8_t kOpReadNameTable = 0x43;
constexpr uint8_t kOpSelectName = 0x49;

bool HasOpcode(const std::vector<uint8_t>& opcodes, uint8_t opcode) {
    return std::find(opcodes.begin(), opcodes.end(), opcode) != opcodes.end();
}

NameTable SampleTable() {
    NameTable table{};
    const char* texts[8] = {"ABC",    "HOLIDAY 1997", "A/B:C=D>E.F_G?", "0", "  X  ", "Z",
                            "NAME 7", "LAST"};
    for (size_t i = 0; i < table.size(); ++i) {
        table[i] = Name(texts[i]);
    }
    return table;
}

// ---------------------------------------------------------------------------------------------

TEST(NameRules, AcceptsNamesOfOneToFourteenCharactersFromTheAlphabet) {
    EXPECT_TRUE(NameIsValid(Name("ABC")));
    EXPECT_TRUE(NameIsValid(Name("ABCDEFGHIJKLMN")));  // 14 characters, the 0 at index 14
    EXPECT_TRUE(NameIsValid(Name("0123456789")));
    EXPECT_TRUE(NameIsValid(Name("OPQRSTUVWXYZ")));
    EXPECT_TRUE(NameIsValid(Name("? /:=>._")));
    EXPECT_TRUE(NameIsValid(Name("  A")));  // spaces count when something else is there
    NameField trailing = Name("AB");
    trailing[5] = 'x';  // whatever follows the 0 is not looked at
    trailing[14] = '-';
    EXPECT_TRUE(NameIsValid(trailing));
}

TEST(NameRules, RefusesEmptyBlankUnterminatedAndForeignCharacters) {
    EXPECT_FALSE(NameIsValid(Name("")));
    EXPECT_FALSE(NameIsValid(Name("   ")));
    EXPECT_FALSE(NameIsValid(Name("ABCDEFGHIJKLMNO")));  // no 0 in the 15 bytes
    EXPECT_FALSE(NameIsValid(Name("abc")));
    EXPECT_FALSE(NameIsValid(Name("ABc")));
    EXPECT_FALSE(NameIsValid(Name("A-B")));
    EXPECT_FALSE(NameIsValid(Name("A,B")));
    EXPECT_FALSE(NameIsValid(Name("A\tB")));
    EXPECT_FALSE(NameIsValid(Name("\xC4")));
}

TEST(NameTableLayout, FieldsGoOutUnchangedAtFifteenByteStepsAndTheRestIsZero) {
    NameTable table = SampleTable();
    table[3][9] = 'q';  // behind the terminating 0: goes along unchanged
    const NameTableBlock block = BuildNameTableBlock(table);
    for (size_t i = 0; i < table.size(); ++i) {
        EXPECT_TRUE(std::equal(table[i].begin(), table[i].end(), block.begin() + 15 * i)) << i;
    }
    EXPECT_EQ(block[15 * 3 + 9], 'q');
    EXPECT_TRUE(std::all_of(block.begin() + 120, block.end(), [](uint8_t b) { return b == 0; }));
}

// ---------------------------------------------------------------------------------------------

TEST(ReadNameTable, DeliversTheCameraTableWithFifteenCharacterFieldsCutToFourteen) {
    PictureWorld world;
    auto& stored = world.camera.State().nameTable;
    std::copy_n("FIFTEEN CHARS!!", 15, stored.begin());  // no 0 in the field
    std::copy_n("SHORT", 6, stored.begin() + 15 * 7);
    NameTable table{};
    EXPECT_EQ(world.link.ReadNameTable(&table), 0);
    EXPECT_EQ(world.link.GetResult(), kResultOk);
    EXPECT_EQ(std::string(table[0].data()), "FIFTEEN CHARS!");
    EXPECT_EQ(std::string(table[7].data()), "SHORT");
    EXPECT_EQ(world.OpcodesSinceMark().back(), kOpReadNameTable);
}

TEST(ReadNameTable, AFailedReadLeavesTheCallersTableAlone) {
    PictureWorld world;
    world.camera.State().nameTable.fill('A');
    world.camera.Faults().completionByteOpcode = kOpReadNameTable;
    NameTable table{};
    table[0] = Name("MINE");
    EXPECT_EQ(world.link.ReadNameTable(&table), kStatusCameraFailed);
    EXPECT_EQ(world.link.GetResult(), kResultCommFailure);
    EXPECT_EQ(std::string(table[0].data()), "MINE");
    EXPECT_EQ(std::string(table[1].data()), "");
}

TEST(ReadNameTable, NoTableIsABadArgumentBeforeAnyExchange) {
    PictureWorld world;
    EXPECT_EQ(world.link.ReadNameTable(nullptr), kStatusBadArgument);
    EXPECT_EQ(world.link.GetResult(), kResultBadArgument);
    EXPECT_TRUE(world.OpcodesSinceMark().empty());
}

TEST(WriteNameTable, SendsTheFieldsAsTheCameraKeepsThem) {
    PictureWorld world;
    NameTable table = SampleTable();
    table[2][14] = 0;
    table[5][4] = 'y';  // behind the 0: travels unchanged
    EXPECT_EQ(world.link.WriteNameTable(table), 0);
    EXPECT_EQ(world.link.GetResult(), kResultOk);
    EXPECT_EQ(world.OpcodesSinceMark().back(), kOpWriteNameTable);
    const auto& stored = world.camera.State().nameTable;
    const NameTableBlock expected = BuildNameTableBlock(table);
    EXPECT_TRUE(std::equal(expected.begin(), expected.end(), stored.begin()));

    // What was written reads back the same.
    NameTable back{};
    EXPECT_EQ(world.link.ReadNameTable(&back), 0);
    for (size_t i = 0; i < table.size(); ++i) {
        EXPECT_EQ(std::string(back[i].data()), std::string(table[i].data())) << i;
    }
}

TEST(WriteNameTable, OneBrokenNameStopsItBeforeAnyExchange) {
    PictureWorld world;
    for (const char* broken : {"", "   ", "lower", "A-B", "ABCDEFGHIJKLMNO"}) {
        NameTable table = SampleTable();
        table[4] = Name(broken);
        EXPECT_EQ(world.link.WriteNameTable(table), kStatusBadArgument) << broken;
        EXPECT_EQ(world.link.GetResult(), kResultBadArgument) << broken;
    }
    EXPECT_TRUE(world.OpcodesSinceMark().empty());
    EXPECT_TRUE(std::all_of(world.camera.State().nameTable.begin(),
                            world.camera.State().nameTable.end(),
                            [](uint8_t b) { return b == 0; }));
}

TEST(SelectName, AcceptsZeroToEightAndSendsTheIndexInByteTwo) {
    PictureWorld world;
    for (const int16_t index : std::initializer_list<int16_t>{0, 8}) {
        EXPECT_EQ(world.link.SelectName(index), 0);
        EXPECT_EQ(world.link.GetResult(), kResultOk);
        EXPECT_EQ(world.camera.State().selectedName, index);
        const auto packet = world.LastPacket(kOpSelectName);
        EXPECT_EQ(packet[2], index);
        EXPECT_EQ(packet[1], 0);
    }
}

TEST(SelectName, RefusesIndicesOutsideZeroToEightBeforeAnyExchange) {
    PictureWorld world;
    for (const int16_t index : std::initializer_list<int16_t>{-1, 9, 255, -32768}) {
        EXPECT_EQ(world.link.SelectName(index), kStatusBadArgument);
        EXPECT_EQ(world.link.GetResult(), kResultBadArgument);
    }
    EXPECT_TRUE(world.OpcodesSinceMark().empty());
}

TEST(SelectName, ACommandTheCameraRefusesShowsInTheResult) {
    PictureWorld world;
    world.camera.Faults().refuseOpcode = kOpSelectName;
    EXPECT_EQ(world.link.SelectName(3), kStatusRefused);
    EXPECT_EQ(world.link.GetResult(), kResultCommFailure);
    // The next operation starts clean.
    world.camera.Faults().refuseOpcode = -2;
    EXPECT_EQ(world.link.SelectName(3), 0);
    EXPECT_EQ(world.link.GetResult(), kResultOk);
    EXPECT_TRUE(HasOpcode(world.OpcodesSinceMark(), kOpSelectName));
}

}  // namespace

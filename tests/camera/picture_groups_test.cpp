// The groups of a picture store: the store check, the group table, the group command and
// renaming a group, with counts from the camera that do not fit.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>

#include "picture_fixture.hpp"

namespace {

using picture_test::Name;
using picture_test::PictureWorld;

constexpr uint8_t kOpStatus = 0x7F;
constexpr uint8_t kOpGroupNames = 0x44;
constexpr uint8_t kOpItemCount = 0x45;
constexpr uint8_t kOpGroupCommand = 0x46;
constexpr uint8_t kOpRenameGroup = 0x47;

constexpr int32_t kUntouchedCount = 4242;

std::vector<GroupEntry> UntouchedEntries(size_t n) {
    GroupEntry entry;
    entry.name = Name("UNTOUCHED");
    entry.itemCount = kUntouchedCount;
    return std::vector<GroupEntry>(n, entry);
}

bool AllUntouched(const std::vector<GroupEntry>& entries) {
    return std::all_of(entries.begin(), entries.end(), [](const GroupEntry& e) {
        return e.itemCount == kUntouchedCount && std::string(e.name.data()) == "UNTOUCHED";
    });
}

size_t Count(const std::vector<uint8_t>& opcodes, uint8_t opcode) {
    return static_cast<size_t>(std::count(opcodes.begin(), opcodes.end(), opcode));
}

// Store 0 with groups 0 to 3.
void ThreeGroups(PictureWorld& world) {
    PictureWorld::SetGroups(world.camera.State().store0,
                            {{"", 2}, {"BEACH", 3}, {"FIFTEEN CHARS!!", 0}, {"CITY", 1}});
}

// ---------------------------------------------------------------------------------------------

TEST(GroupLayout, EntryZeroIsUnnamedAndEntryKStartsAtFifteenTimesKMinusOne) {
    std::vector<uint8_t> names(16 * 3, 0);
    std::copy_n("FIRST", 5, names.begin());
    std::copy_n("SECOND GROUP 15", 15, names.begin() + 15);  // 15 bytes, no 0: kept as is
    std::copy_n("THIRD", 5, names.begin() + 30);
    std::vector<GroupEntry> entries = UntouchedEntries(4);
    FillGroupNames(names, entries);
    EXPECT_EQ(entries[0].name, NameField{});
    EXPECT_EQ(std::string(entries[1].name.data(), 5), "FIRST");
    EXPECT_EQ(std::string(entries[2].name.data(), 15), "SECOND GROUP 15");
    EXPECT_EQ(std::string(entries[3].name.data(), 5), "THIRD");
    for (const GroupEntry& entry : entries) {
        EXPECT_EQ(entry.itemCount, kUntouchedCount);
    }
    // Names that the data does not hold come out empty instead of being read past its end.
    std::vector<GroupEntry> more = UntouchedEntries(6);
    FillGroupNames(std::span<const uint8_t>(names.data(), 40), more);
    EXPECT_EQ(std::string(more[2].name.data(), 15), "SECOND GROUP 15");
    EXPECT_EQ(more[3].name, NameField{});
    EXPECT_EQ(more[5].name, NameField{});
}

TEST(StoreCheck, AbsentStoreOneEndsEveryStoreOperationAfterItsStatusRequest) {
    PictureWorld world;
    ThreeGroups(world);
    std::vector<GroupEntry> entries = UntouchedEntries(4);
    std::vector<ItemName> items(4);
    const std::function<int32_t()> operations[] = {
        [&] { return world.link.ReadGroupTable(1, entries); },
        [&] { return world.link.GroupCommand(1, 0); },
        [&] { return world.link.RenameGroup(1, 1, Name("NEW")); },
        [&] { return world.link.MoveItem(1, 1, 0, 1); },
        [&] { return world.link.ListItems(1, 0, items); },
    };
    for (const auto& operation : operations) {
        world.link.CheckLink(0);  // the line settled: the link check is one status request
        world.Mark();
        EXPECT_EQ(operation(), kResultStoreAbsent);
        EXPECT_EQ(world.link.GetResult(), kResultStoreAbsent);
        EXPECT_EQ(world.OpcodesSinceMark(), (std::vector<uint8_t>{kOpStatus, kOpStatus}));
    }
    EXPECT_TRUE(AllUntouched(entries));
    // Nothing of the refusal stays behind for the next operation.
    EXPECT_EQ(world.link.GroupCommand(0, 1), 0);
    EXPECT_EQ(world.link.GetResult(), kResultOk);
}

// ---------------------------------------------------------------------------------------------

TEST(ReadGroupTable, ReadsNamesThenOneCountPerGroupInOrder) {
    PictureWorld world;
    ThreeGroups(world);
    std::vector<GroupEntry> entries = UntouchedEntries(6);
    world.link.CheckLink(0);
    world.Mark();
    EXPECT_EQ(world.link.ReadGroupTable(0, entries), 0);
    EXPECT_EQ(world.link.GetResult(), kResultOk);

    EXPECT_EQ(entries[0].name, NameField{});
    EXPECT_EQ(std::string(entries[1].name.data()), "BEACH");
    EXPECT_EQ(std::string(entries[2].name.data(), 15), "FIFTEEN CHARS!!");
    EXPECT_EQ(std::string(entries[3].name.data()), "CITY");
    EXPECT_EQ(entries[0].itemCount, 2);
    EXPECT_EQ(entries[1].itemCount, 3);
    EXPECT_EQ(entries[2].itemCount, 0);
    EXPECT_EQ(entries[3].itemCount, 1);
    // Room beyond the table is cleared.
    EXPECT_EQ(entries[4].name, NameField{});
    EXPECT_EQ(entries[5].itemCount, 0);

    EXPECT_EQ(world.OpcodesSinceMark(),
              (std::vector<uint8_t>{kOpStatus, kOpStatus, kOpGroupNames, kOpItemCount, kOpItemCount,
                                    kOpItemCount, kOpItemCount}));
    const auto& commands = world.camera.Commands();
    for (size_t k = 0; k < 4; ++k) {
        EXPECT_EQ(commands[commands.size() - 4 + k].packet[4], k);
    }
}

TEST(ReadGroupTable, NamesOverSeveralPacketsKeepTheirPlaces) {
    PictureWorld world;
    std::vector<std::pair<std::string, int>> groups = {{"", 0}};
    for (int k = 1; k <= 40; ++k) {  // 640 bytes of names: three packets
        groups.emplace_back("GROUP " + std::to_string(k), k % 3);
    }
    PictureWorld::SetGroups(world.camera.State().store0, groups);
    std::vector<GroupEntry> entries(41);
    EXPECT_EQ(world.link.ReadGroupTable(0, entries), 0);
    for (size_t k = 1; k <= 40; ++k) {
        EXPECT_EQ(std::string(entries[k].name.data()), "GROUP " + std::to_string(k)) << k;
        EXPECT_EQ(entries[k].itemCount, static_cast<int32_t>(k % 3)) << k;
    }
}

TEST(ReadGroupTable, StoreOneGoesOutAsStoreByteOne) {
    PictureWorld world;
    world.camera.State().store1Present = true;
    PictureWorld::SetGroups(world.camera.State().store1, {{"", 0}, {"ONE", 4}});
    std::vector<GroupEntry> entries(2);
    EXPECT_EQ(world.link.ReadGroupTable(1, entries), 0);
    EXPECT_EQ(std::string(entries[1].name.data()), "ONE");
    EXPECT_EQ(entries[1].itemCount, 4);
    EXPECT_EQ(world.LastPacket(kOpGroupNames)[1], 1);
    EXPECT_EQ(world.LastPacket(kOpItemCount)[1], 1);
}

TEST(ReadGroupTable, NoGroupsMeansNoNamesCommandAndOneUnnamedEntry) {
    PictureWorld world;
    PictureWorld::SetGroups(world.camera.State().store0, {{"", 5}});
    std::vector<GroupEntry> entries = UntouchedEntries(1);
    world.link.CheckLink(0);
    world.Mark();
    EXPECT_EQ(world.link.ReadGroupTable(0, entries), 0);
    EXPECT_EQ(entries[0].name, NameField{});
    EXPECT_EQ(entries[0].itemCount, 5);
    EXPECT_EQ(world.OpcodesSinceMark(), (std::vector<uint8_t>{kOpStatus, kOpStatus, kOpItemCount}));
}

TEST(ReadGroupTable, AFailedNamesCommandWritesNothing) {
    PictureWorld world;
    ThreeGroups(world);
    world.camera.Faults().completionByteOpcode = kOpGroupNames;
    std::vector<GroupEntry> entries = UntouchedEntries(4);
    EXPECT_EQ(world.link.ReadGroupTable(0, entries), kStatusCameraFailed);
    EXPECT_EQ(world.link.GetResult(), kResultCommFailure);
    EXPECT_TRUE(AllUntouched(entries));
    EXPECT_EQ(Count(world.OpcodesSinceMark(), kOpItemCount), 0u);
}

TEST(ReadGroupTable, AFailedCountStopsTheCountsButKeepsWhatWasWritten) {
    PictureWorld world;
    ThreeGroups(world);
    world.camera.Faults().noCompletionOpcode = kOpItemCount;
    std::vector<GroupEntry> entries = UntouchedEntries(4);
    EXPECT_EQ(world.link.ReadGroupTable(0, entries), kStatusTimeout);
    EXPECT_EQ(world.link.GetResult(), kResultCommFailure);
    EXPECT_EQ(Count(world.OpcodesSinceMark(), kOpItemCount), 1u);
    EXPECT_EQ(std::string(entries[1].name.data()), "BEACH");  // the names were written
    EXPECT_EQ(entries[0].itemCount, kUntouchedCount);         // no count from a failed command
}

TEST(ReadGroupTable, AStoreOtherThanZeroOrOneIsRefusedBeforeItsCommands) {
    PictureWorld world;
    world.camera.State().store1Present = true;
    PictureWorld::SetGroups(world.camera.State().store1, {{"", 0}, {"ONE", 4}});
    std::vector<GroupEntry> entries = UntouchedEntries(2);
    EXPECT_EQ(world.link.ReadGroupTable(2, entries), kStatusBadArgument);
    EXPECT_EQ(world.link.GetResult(), kResultBadArgument);
    EXPECT_TRUE(AllUntouched(entries));
    EXPECT_EQ(Count(world.OpcodesSinceMark(), kOpGroupNames), 0u);
}

TEST(ReadGroupTable, CountsOutsideTheAddressableGroupsAreRefusedLikeAnyGroupOutOfRange) {
    for (const uint16_t reported :
         {uint16_t{0xFFFF}, uint16_t{0x8000}, uint16_t{0x7FFF}, uint16_t{256}}) {
        PictureWorld world;
        ThreeGroups(world);
        world.ReportGroups(0, reported);
        std::vector<GroupEntry> entries = UntouchedEntries(300);
        EXPECT_EQ(world.link.ReadGroupTable(0, entries), kResultBadArgument) << reported;
        EXPECT_EQ(world.link.GetResult(), kResultBadArgument) << reported;
        EXPECT_TRUE(AllUntouched(entries)) << reported;
        EXPECT_EQ(Count(world.OpcodesSinceMark(), kOpGroupNames), 0u) << reported;
        // The same status block, the same answer for a group the count leaves out.
        const int16_t outside = reported >= 0x8000 ? 0 : 256;
        EXPECT_EQ(world.link.GroupCommand(0, outside), kResultBadArgument) << reported;
        EXPECT_EQ(Count(world.OpcodesSinceMark(), kOpGroupCommand), 0u) << reported;
    }
}

TEST(ReadGroupTable, MoreGroupsThanTheCallerMadeRoomForIsRefused) {
    PictureWorld world;
    ThreeGroups(world);
    std::vector<GroupEntry> entries = UntouchedEntries(4);
    EXPECT_EQ(world.link.ReadGroupTable(0, entries), 0);  // sized for n = 3

    // The camera now has a fourth group: the same room is too small.
    world.camera.State().store0.groups.push_back({});
    entries = UntouchedEntries(4);
    world.Mark();
    EXPECT_EQ(world.link.ReadGroupTable(0, entries), kResultBadArgument);
    EXPECT_EQ(world.link.GetResult(), kResultBadArgument);
    EXPECT_TRUE(AllUntouched(entries));
    EXPECT_EQ(world.OpcodesSinceMark(), (std::vector<uint8_t>{kOpStatus, kOpStatus}));

    // So is an empty span, even for a store without groups.
    PictureWorld::SetGroups(world.camera.State().store0, {});
    EXPECT_EQ(world.link.ReadGroupTable(0, {}), kResultBadArgument);
}

// ---------------------------------------------------------------------------------------------

TEST(GroupCommand, AcceptsGroupsZeroToNAndWaitsLongForTheCamera) {
    PictureWorld world;
    ThreeGroups(world);
    world.camera.Timing().slowCommandUs = 150'000'000;  // 150 s: beyond an ordinary completion
    for (const int16_t group : std::initializer_list<int16_t>{0, 3}) {
        EXPECT_EQ(world.link.GroupCommand(0, group), 0) << group;
        EXPECT_EQ(world.link.GetResult(), kResultOk);
        const auto packet = world.LastPacket(kOpGroupCommand);
        EXPECT_EQ(packet[1], 0);
        EXPECT_EQ(packet[4], group);
    }
}

TEST(GroupCommand, ACameraSlowerThanItsCompletionWaitFails) {
    PictureWorld world;
    ThreeGroups(world);
    world.camera.Timing().slowCommandUs = 201'000'000;
    EXPECT_EQ(world.link.GroupCommand(0, 1), kStatusTimeout);
    EXPECT_EQ(world.link.GetResult(), kResultCommFailure);
}

TEST(GroupCommand, GroupsOutsideTheStoreAreRefusedWithoutTheCommand) {
    PictureWorld world;
    ThreeGroups(world);
    for (const int16_t group : std::initializer_list<int16_t>{-1, 4, 300}) {
        EXPECT_EQ(world.link.GroupCommand(0, group), kResultBadArgument) << group;
        EXPECT_EQ(world.link.GetResult(), kResultBadArgument);
    }
    EXPECT_EQ(Count(world.OpcodesSinceMark(), kOpGroupCommand), 0u);
}

TEST(GroupCommand, ANegativeGroupCountLeavesNoGroupToAddress) {
    PictureWorld world;
    ThreeGroups(world);
    world.ReportGroups(0, 0xFFFF);
    EXPECT_EQ(world.link.GroupCommand(0, 0), kResultBadArgument);
    EXPECT_EQ(Count(world.OpcodesSinceMark(), kOpGroupCommand), 0u);
}

TEST(GroupCommand, GroupsBeyondOneParameterByteAreRefused) {
    PictureWorld world;
    world.ReportGroups(0, 300);  // the camera claims more groups than a command can address
    EXPECT_EQ(world.link.GroupCommand(0, 256), kResultBadArgument);
    EXPECT_EQ(Count(world.OpcodesSinceMark(), kOpGroupCommand), 0u);
}

// ---------------------------------------------------------------------------------------------

TEST(RenameGroup, SendsTheNameZeroPaddedAndTheCameraTakesIt) {
    PictureWorld world;
    ThreeGroups(world);
    NameField name = Name("MOUNTAINS 2");
    EXPECT_EQ(world.link.RenameGroup(0, 3, name), 0);
    EXPECT_EQ(world.link.GetResult(), kResultOk);
    const auto& stored = world.camera.State().store0.groups[3].name;
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(stored.data())), "MOUNTAINS 2");
    EXPECT_EQ(stored[15], 0);
    EXPECT_EQ(world.LastPacket(kOpRenameGroup)[4], 3);
}

TEST(RenameGroup, RefusesGroupZeroWhichTheOtherOperationsAccept) {
    PictureWorld world;
    ThreeGroups(world);
    EXPECT_EQ(world.link.RenameGroup(0, 0, Name("ZERO")), kResultBadArgument);
    EXPECT_EQ(world.link.GetResult(), kResultBadArgument);
    EXPECT_EQ(world.link.RenameGroup(0, 4, Name("FOUR")), kResultBadArgument);
    EXPECT_EQ(Count(world.OpcodesSinceMark(), kOpRenameGroup), 0u);

    std::vector<GroupEntry> entries(4);
    std::vector<ItemName> items(2);
    EXPECT_EQ(world.link.GroupCommand(0, 0), 0);
    EXPECT_EQ(world.link.MoveItem(0, 1, 0, 0), 0);
    EXPECT_EQ(world.link.ListItems(0, 0, items), 0);
    EXPECT_EQ(world.link.ReadGroupTable(0, entries), 0);
    EXPECT_EQ(entries[0].itemCount, 2);
}

TEST(RenameGroup, ABrokenNameIsRefusedBeforeAnyExchange) {
    PictureWorld world;
    ThreeGroups(world);
    for (const char* broken : {"", "  ", "Lower", "A-1", "ABCDEFGHIJKLMNO"}) {
        EXPECT_EQ(world.link.RenameGroup(0, 1, Name(broken)), kStatusBadArgument) << broken;
        EXPECT_EQ(world.link.GetResult(), kResultBadArgument);
    }
    EXPECT_TRUE(world.OpcodesSinceMark().empty());
}

}  // namespace

// The items of a picture store's groups: the item name layout, moving an item and listing the
// items of a group, with item counts from the camera that do not fit.
#include <gtest/gtest.h>

#include <algorithm>

#include "picture_fixture.hpp"

namespace {

using picture_test::ExpectedItemName;
using picture_test::PictureWorld;

constexpr uint8_t kOpStatus = 0x7F;
constexpr uint8_t kOpItemCount = 0x45;
constexpr uint8_t kOpMoveItem = 0x48;
constexpr uint8_t kOpListItems = 0x4A;

const ItemName kUntouched = {'U', 'N', 'T', 'O', 'U', 'C', 'H', 'E', 'D'};

bool AllUntouched(const std::vector<ItemName>& names) {
    return std::all_of(names.begin(), names.end(),
                       [](const ItemName& name) { return name == kUntouched; });
}

size_t Count(const std::vector<uint8_t>& opcodes, uint8_t opcode) {
    return static_cast<size_t>(std::count(opcodes.begin(), opcodes.end(), opcode));
}

// Store 0: group 0 with 2 items, group 1 with 3, group 2 empty, group 3 with 30.
void Groups(PictureWorld& world) {
    PictureWorld::SetGroups(world.camera.State().store0,
                            {{"", 2}, {"BEACH", 3}, {"EMPTY", 0}, {"MANY", 30}});
}

// ---------------------------------------------------------------------------------------------

TEST(ItemLayout, NameIsSevenBytesFullStopThreeBytesAndFourZeros) {
    std::array<uint8_t, kItemRecordBytes> record{};
    for (size_t i = 0; i < record.size(); ++i) {
        record[i] = static_cast<uint8_t>('a' + i);
    }
    const ItemName name = ItemNameFromRecord(record);
    const ItemName expected = {'a', 'b', 'c', 'd', 'e', 'f', 'g', '.', 'i', 'j', 'k', 0, 0, 0, 0};
    EXPECT_EQ(name, expected);
}

// ---------------------------------------------------------------------------------------------

TEST(MoveItem, SendsItemAndGroupsAndTheCameraMovesTheItem) {
    PictureWorld world;
    Groups(world);
    world.link.CheckLink(0);
    world.Mark();
    EXPECT_EQ(world.link.MoveItem(0, 3, 1, 2), 0);
    EXPECT_EQ(world.link.GetResult(), kResultOk);
    EXPECT_EQ(world.OpcodesSinceMark(),
              (std::vector<uint8_t>{kOpStatus, kOpStatus, kOpItemCount, kOpMoveItem}));
    EXPECT_EQ(world.LastPacket(kOpItemCount)[4], 1);
    const auto packet = world.LastPacket(kOpMoveItem);
    EXPECT_EQ(packet[1], 0);
    EXPECT_EQ(packet[2], 0);
    EXPECT_EQ(packet[3], 3);
    EXPECT_EQ(packet[4], 1);
    EXPECT_EQ(packet[5], 2);
    const auto& groups = world.camera.State().store0.groups;
    EXPECT_EQ(groups[1].items.size(), 2u);
    ASSERT_EQ(groups[2].items.size(), 1u);

    // Item numbers above 255 travel big-endian in bytes 2 and 3.
    PictureWorld::SetGroups(world.camera.State().store0, {{"", 300}, {"B", 0}});
    EXPECT_EQ(world.link.MoveItem(0, 300, 0, 1), 0);
    EXPECT_EQ(world.LastPacket(kOpMoveItem)[2], 1);
    EXPECT_EQ(world.LastPacket(kOpMoveItem)[3], 44);
}

TEST(MoveItem, ItemNumbersOutsideTheSourceGroupAreRefusedAfterTheCount) {
    PictureWorld world;
    Groups(world);
    for (const int16_t item : std::initializer_list<int16_t>{0, 4, -5}) {
        world.Mark();
        EXPECT_EQ(world.link.MoveItem(0, item, 1, 0), kResultBadArgument) << item;
        EXPECT_EQ(world.link.GetResult(), kResultBadArgument);
        const auto opcodes = world.OpcodesSinceMark();
        EXPECT_EQ(opcodes.back(), kOpItemCount) << item;
        EXPECT_EQ(Count(opcodes, kOpMoveItem), 0u);
    }
}

TEST(MoveItem, GroupsOutsideTheStoreAreRefusedBeforeTheCount) {
    PictureWorld world;
    Groups(world);
    world.link.CheckLink(0);
    for (const auto& [from, to] : {std::pair<int16_t, int16_t>{4, 0}, {0, 4}, {-1, 1}, {1, -1}}) {
        world.Mark();
        EXPECT_EQ(world.link.MoveItem(0, 1, from, to), kResultBadArgument);
        EXPECT_EQ(world.OpcodesSinceMark(), (std::vector<uint8_t>{kOpStatus, kOpStatus}));
    }
}

TEST(MoveItem, ACountThatNeverArrivedCountsAsZero) {
    PictureWorld world;
    Groups(world);
    world.camera.Faults().refuseOpcode = kOpItemCount;
    EXPECT_EQ(world.link.MoveItem(0, 1, 1, 2), kResultBadArgument);
    EXPECT_EQ(Count(world.OpcodesSinceMark(), kOpMoveItem), 0u);
    // ... while a count that arrived with a failed completion ends the move with that failure.
    world.camera.Faults().refuseOpcode = -2;
    world.camera.Faults().completionByteOpcode = kOpItemCount;
    EXPECT_EQ(world.link.MoveItem(0, 1, 1, 2), kStatusCameraFailed);
    EXPECT_EQ(world.link.GetResult(), kResultCommFailure);
    EXPECT_EQ(Count(world.OpcodesSinceMark(), kOpMoveItem), 0u);
}

// ---------------------------------------------------------------------------------------------

TEST(ListItems, BuildsOneNamePerItemAndClearsTheRestOfTheRoom) {
    PictureWorld world;
    Groups(world);
    world.camera.Timing().slowCommandUs = 150'000'000;  // both slow commands may take 150 s
    std::vector<ItemName> names(5, kUntouched);
    world.link.CheckLink(0);
    world.Mark();
    EXPECT_EQ(world.link.ListItems(0, 1, names), 0);
    EXPECT_EQ(world.link.GetResult(), kResultOk);
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(names[static_cast<size_t>(i)], ExpectedItemName(i + 1)) << i;
    }
    EXPECT_EQ(names[3], ItemName{});
    EXPECT_EQ(names[4], ItemName{});
    EXPECT_EQ(world.OpcodesSinceMark(),
              (std::vector<uint8_t>{kOpStatus, kOpStatus, kOpItemCount, kOpListItems}));
    EXPECT_EQ(world.LastPacket(kOpListItems)[4], 1);
}

TEST(ListItems, AListOverSeveralPacketsArrivesWhole) {
    PictureWorld world;
    Groups(world);
    std::vector<ItemName> names(30);  // 602 bytes: three packets
    EXPECT_EQ(world.link.ListItems(0, 3, names), 0);
    for (int i = 0; i < 30; ++i) {
        EXPECT_EQ(names[static_cast<size_t>(i)], ExpectedItemName(i + 1)) << i;
    }
}

TEST(ListItems, GroupZeroIsListedAndAnEmptyGroupIsRefusedBeforeTheList) {
    PictureWorld world;
    Groups(world);
    std::vector<ItemName> names(2, kUntouched);
    EXPECT_EQ(world.link.ListItems(0, 0, names), 0);
    EXPECT_EQ(names[1], ExpectedItemName(2));

    names.assign(2, kUntouched);
    world.Mark();
    EXPECT_EQ(world.link.ListItems(0, 2, names), kResultBadArgument);
    EXPECT_EQ(world.link.GetResult(), kResultBadArgument);
    EXPECT_EQ(world.OpcodesSinceMark().back(), kOpItemCount);
    EXPECT_TRUE(AllUntouched(names));
}

TEST(ListItems, GroupsOutsideTheStoreAreRefusedBeforeTheCount) {
    PictureWorld world;
    Groups(world);
    std::vector<ItemName> names(40);
    for (const int16_t group : std::initializer_list<int16_t>{-1, 4}) {
        world.Mark();
        EXPECT_EQ(world.link.ListItems(0, group, names), kResultBadArgument);
        EXPECT_EQ(Count(world.OpcodesSinceMark(), kOpItemCount), 0u);
    }
}

TEST(ListItems, AListWhoseCountFieldDisagreesFailsAndWritesNothing) {
    PictureWorld world;
    Groups(world);
    world.tap.RewritePackets(kOpListItems, 257, [](std::span<uint8_t> payload) {
        payload[1] = static_cast<uint8_t>(payload[1] + 1);  // one more than asked
    });
    std::vector<ItemName> names(3, kUntouched);
    EXPECT_EQ(world.link.ListItems(0, 1, names), kStatusCameraFailed);
    EXPECT_EQ(world.link.GetResult(), kResultCommFailure);
    EXPECT_TRUE(AllUntouched(names));
}

TEST(ListItems, AFailedCountEndsItWithoutTheList) {
    PictureWorld world;
    Groups(world);
    world.camera.Faults().completionByteOpcode = kOpItemCount;
    std::vector<ItemName> names(3, kUntouched);
    EXPECT_EQ(world.link.ListItems(0, 1, names), kStatusCameraFailed);
    EXPECT_EQ(world.link.GetResult(), kResultCommFailure);
    EXPECT_EQ(Count(world.OpcodesSinceMark(), kOpListItems), 0u);
    EXPECT_TRUE(AllUntouched(names));
}

TEST(ListItems, AFailedListWritesNothing) {
    PictureWorld world;
    Groups(world);
    world.camera.Faults().completionByteOpcode = kOpListItems;
    std::vector<ItemName> names(3, kUntouched);
    EXPECT_EQ(world.link.ListItems(0, 1, names), kStatusCameraFailed);
    EXPECT_TRUE(AllUntouched(names));
}

// ---------------------------------------------------------------------------------------------
// Item counts come from the camera; none of them may size a buffer or a write on its own.

TEST(ListItemsHostileCounts, HugeAndNegativeCountsAreRefusedBeforeTheList) {
    for (const uint32_t reported : {0x7FFFFFFFu, 0x80000000u, 0xFFFFFFFFu, 0x00010000u}) {
        PictureWorld world;
        Groups(world);
        world.ReportItemCount(reported);
        std::vector<ItemName> names(3, kUntouched);
        EXPECT_EQ(world.link.ListItems(0, 1, names), kResultBadArgument) << reported;
        EXPECT_EQ(world.link.GetResult(), kResultBadArgument);
        EXPECT_TRUE(AllUntouched(names));
        EXPECT_EQ(Count(world.OpcodesSinceMark(), kOpListItems), 0u);
    }
}

TEST(ListItemsHostileCounts, ACountThatGrewSinceTheCallerSizedTheRoomIsRefused) {
    PictureWorld world;
    Groups(world);
    std::vector<GroupEntry> entries(4);
    EXPECT_EQ(world.link.ReadGroupTable(0, entries), 0);
    std::vector<ItemName> names(static_cast<size_t>(entries[1].itemCount), kUntouched);

    world.camera.State().store0.groups[1].items.push_back({});
    EXPECT_EQ(world.link.ListItems(0, 1, names), kResultBadArgument);
    EXPECT_TRUE(AllUntouched(names));
    EXPECT_EQ(Count(world.OpcodesSinceMark(), kOpListItems), 0u);

    // A count that shrank fits: the freed room is cleared.
    world.camera.State().store0.groups[1].items.resize(1);
    world.camera.State().store0.groups[1].items[0].record[0] = 'X';
    EXPECT_EQ(world.link.ListItems(0, 1, names), 0);
    EXPECT_EQ(names[0][0], 'X');
    EXPECT_EQ(names[1], ItemName{});
    EXPECT_EQ(names[2], ItemName{});
}

TEST(ListItemsHostileCounts, MoreItemsThanAListCanCarryIsRefusedEvenWithRoom) {
    PictureWorld world;
    Groups(world);
    world.ReportItemCount(40'000);
    std::vector<ItemName> names(40'000, kUntouched);
    EXPECT_EQ(world.link.ListItems(0, 1, names), kResultNoMemory);
    EXPECT_EQ(world.link.GetResult(), kResultNoMemory);
    EXPECT_EQ(Count(world.OpcodesSinceMark(), kOpListItems), 0u);
    EXPECT_EQ(names.front(), kUntouched);
    EXPECT_EQ(names.back(), kUntouched);
}

TEST(MoveItemHostileCounts, AHugeOrNegativeSourceCountRefusesAsItShould) {
    PictureWorld world;
    Groups(world);
    world.ReportItemCount(0xFFFFFFFFu);  // -1: no item is in range
    EXPECT_EQ(world.link.MoveItem(0, 1, 1, 2), kResultBadArgument);
    EXPECT_EQ(Count(world.OpcodesSinceMark(), kOpMoveItem), 0u);
    world.ReportItemCount(0x7FFFFFFFu);  // the camera itself refuses what it does not hold
    EXPECT_EQ(world.link.MoveItem(0, 32767, 1, 2), kStatusRefused);
    EXPECT_EQ(world.link.GetResult(), kResultCommFailure);
}

}  // namespace

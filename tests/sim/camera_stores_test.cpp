// Picture-store commands of the virtual camera: name table, group names, item counts and lists,
// rename, move, select; slow completions.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "camera_bench.hpp"

namespace {

using camtest::CameraBench;
using camtest::HostFrame;
using camtest::Xor;
using Bytes = std::vector<uint8_t>;

std::array<uint8_t, 16> Name(const char* text) {
    std::array<uint8_t, 16> name{};
    std::memcpy(name.data(), text, std::strlen(text));
    return name;
}

sim::PictureItem Item(uint8_t tag) {
    sim::PictureItem item;
    item.record.fill(tag);
    return item;
}

struct StoreBench : CameraBench {
    StoreBench() {
        auto& store = camera.State().store0;
        store.groups.resize(4);  // groups 0 to 3
        store.groups[1].name = Name("ALPHA");
        store.groups[2].name = Name("BRAVO_CHARLIE12");  // 15 characters, no terminator
        store.groups[3].name = Name("D");
        for (uint8_t i = 0; i < 14; ++i) {
            store.groups[2].items.push_back(Item(static_cast<uint8_t>(i + 1)));
        }
        camera.Timing().slowCommandUs = 50'000;
    }
    // Runs a command whose data comes to the host in `packets` packets; returns their payload.
    Bytes Receive(uint8_t op, uint8_t store, uint8_t group, size_t frameLength,
                  size_t packets = 1) {
        Command(op, store, 0, 0, group);
        EXPECT_EQ(Read(1), Bytes{0xD1});
        Bytes payload;
        for (size_t i = 0; i < packets; ++i) {
            const Bytes packet = Read(frameLength, 2500);
            if (packet.size() != frameLength) {
                ADD_FAILURE() << "short packet of " << packet.size();
                return payload;
            }
            EXPECT_EQ(packet.back(), Xor(packet, 0, frameLength - 1));
            payload.insert(payload.end(), packet.begin(), packet.end() - 1);
            Write({0xD2});
        }
        EXPECT_EQ(Read(2, 2500), Bytes{0x00}) << "completion after the last packet";
        return payload;
    }
};

TEST(CameraStores, GroupNamesSitWhereTheHostReadsThem) {
    StoreBench bench;
    const Bytes data = bench.Receive(0x44, 0, 0, 257);
    ASSERT_EQ(data.size(), 256u);  // 48 bytes, zero-padded to one packet
    EXPECT_EQ(std::string(data.begin(), data.begin() + 5), "ALPHA");
    EXPECT_EQ(std::string(data.begin() + 15, data.begin() + 30), "BRAVO_CHARLIE12");
    EXPECT_EQ(data[30], 'D');
    for (size_t i = 31; i < data.size(); ++i) {
        EXPECT_EQ(data[i], 0) << i;
    }
}

TEST(CameraStores, ItemCountIsBigEndianInA17ByteFrameAndCompletesAfterTheSlowTime) {
    StoreBench bench;
    const Bytes data = bench.Receive(0x45, 0, 2, 17);
    ASSERT_EQ(data.size(), 16u);
    EXPECT_EQ(data[0], 0);
    EXPECT_EQ(data[1], 0);
    EXPECT_EQ(data[2], 0);
    EXPECT_EQ(data[3], 14);
    const auto& sent = bench.line.sent;
    EXPECT_GE(sent.back().doneUs - sent[sent.size() - 2].doneUs, 50'000u);
}

TEST(CameraStores, ItemListSpansAsManyPacketsAsItNeeds) {
    StoreBench bench;
    const Bytes data = bench.Receive(0x4A, 0, 2, 257, 2);
    ASSERT_EQ(data.size(), 512u);  // 2 + 14 x 20 = 282 bytes
    EXPECT_EQ(data[0], 0);
    EXPECT_EQ(data[1], 14);
    for (size_t k = 0; k < 14; ++k) {
        EXPECT_EQ(data[2 + 20 * k], k + 1) << k;
        EXPECT_EQ(data[2 + 20 * k + 19], k + 1) << k;
    }
    EXPECT_EQ(data[282], 0);
}

TEST(CameraStores, NameTableReadsBackWhatWasWritten) {
    StoreBench bench;
    Bytes table(256, 0);
    std::memcpy(table.data() + 15, "SECOND", 6);
    bench.Command(0x42);
    ASSERT_EQ(bench.Read(1), Bytes{0xD1});
    bench.Write(HostFrame(0x80, table, 256));
    ASSERT_EQ(bench.Read(2), (Bytes{0xD2, 0x00}));
    EXPECT_EQ(bench.Receive(0x43, 0, 0, 257), table);
}

TEST(CameraStores, RenameMoveAndSelectChangeTheStores) {
    StoreBench bench;
    bench.Command(0x47, 0, 0, 0, 3);
    ASSERT_EQ(bench.Read(1), Bytes{0xD1});
    bench.Write(HostFrame(0x80, {'N', 'E', 'W'}, 16));
    EXPECT_EQ(bench.Read(2), (Bytes{0xD2, 0x00}));
    EXPECT_EQ(bench.camera.State().store0.groups[3].name, Name("NEW"));

    bench.Command(0x48, 0, 0, 2, 2, 1);  // item 2 of group 2 to group 1
    EXPECT_EQ(bench.Read(2), (Bytes{0xD1, 0x00}));
    const auto& groups = bench.camera.State().store0.groups;
    ASSERT_EQ(groups[1].items.size(), 1u);
    EXPECT_EQ(groups[1].items[0].record[0], 2);
    EXPECT_EQ(groups[2].items.size(), 13u);

    bench.Command(0x49, 0, 8);
    EXPECT_EQ(bench.Read(2), (Bytes{0xD1, 0x00}));
    EXPECT_EQ(bench.camera.State().selectedName, 8);

    bench.Command(0x46, 0, 0, 0, 0);
    EXPECT_EQ(bench.Read(2), (Bytes{0xD1, 0x00}));
}

TEST(CameraStores, ParametersOutsideTheStoresAreRefused) {
    StoreBench bench;
    const struct {
        uint8_t op, b1, b2, b3, b4, b5;
    } kRefused[] = {
        {0x44, 1, 0, 0, 0, 0},   // store 1 absent
        {0x45, 2, 0, 0, 0, 0},   // no store 2
        {0x45, 0, 0, 0, 4, 0},   // group 4 of groups 0 to 3
        {0x47, 0, 0, 0, 0, 0},   // group 0 cannot be renamed
        {0x48, 0, 0, 15, 2, 1},  // item 15 of 14
        {0x48, 0, 0, 1, 2, 4},   // destination group 4
        {0x49, 0, 9, 0, 0, 0},   // name index 9
    };
    for (const auto& c : kRefused) {
        bench.Command(c.op, c.b1, c.b2, c.b3, c.b4, c.b5);
        EXPECT_EQ(bench.Read(2, 3000), Bytes{0xE1}) << int{c.op};
    }
    bench.camera.State().store1Present = true;
    bench.Command(0x44, 1);
    EXPECT_EQ(bench.Read(2), (Bytes{0xD1, 0x00})) << "a store without groups sends no packet";
}

}  // namespace

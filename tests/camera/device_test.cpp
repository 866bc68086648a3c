// The camera device interface: outcome codes, FinishOperation and the default slot bodies.
#include <gtest/gtest.h>

#include "camera/camera.hpp"

namespace {

// A device that is not a camera link, with its outcome fields open to the test.
class PlainDevice : public CCameraDevice {
  public:
    void SetStatus(uint32_t status) { m_status = status; }
    uint32_t Status() const { return m_status; }
    int32_t LinkSpeed() const { return m_linkSpeed; }
    int32_t PreferredSpeed() const { return m_preferredSpeed; }
};

TEST(ResultForStatus, EveryStatusCode) {
    const struct {
        uint32_t status;
        int16_t result;
    } table[] = {
        {0, 0},      {1, -1000},  {2, -1011},  {3, -1006},           {4, -1006},  {5, -1006},
        {6, -1006},  {7, -1006},  {8, -1006},  {9, -1020},           {10, -1004}, {11, -1006},
        {12, -1006}, {13, -1002}, {14, -1022}, {15, -1020},          {16, -1006}, {17, -1002},
        {18, -1020}, {19, -1020}, {40, -1020}, {0xFFFFFFFFu, -1020},
    };
    for (const auto& row : table) {
        EXPECT_EQ(ResultForStatus(row.status), row.result) << row.status;
    }
}

TEST(FinishOperation, MapsClearsAndReturnsTheStatus) {
    PlainDevice d;
    EXPECT_EQ(d.GetResult(), 0);
    for (const auto& [status, result] :
         {std::pair<uint32_t, int16_t>{10, -1004}, {18, -1020}, {5, -1006}, {40, -1020}, {0, 0}}) {
        d.SetStatus(status);
        EXPECT_EQ(d.FinishOperation(), status);
        EXPECT_EQ(d.GetResult(), result);
        EXPECT_EQ(d.Status(), 0u);
    }
}

TEST(DeviceDefaults, PictureSlotsAreNotAvailable) {
    NameTable table{};
    NameField name{};
    std::array<GroupEntry, 2> groups{};
    std::array<ItemName, 2> items{};
    const auto expectNotAvailable = [](auto&& call) {
        PlainDevice fresh;
        call(fresh);
        EXPECT_EQ(fresh.GetResult(), kResultNotAvailable);
        EXPECT_EQ(fresh.Status(), 0u);
    };
    expectNotAvailable([&](CCameraDevice& x) { x.ReadNameTable(&table); });
    expectNotAvailable([&](CCameraDevice& x) { x.WriteNameTable(table); });
    expectNotAvailable([&](CCameraDevice& x) { x.SelectName(1); });
    expectNotAvailable([&](CCameraDevice& x) { x.ReadGroupTable(0, groups); });
    expectNotAvailable([&](CCameraDevice& x) { x.GroupCommand(0, 1); });
    expectNotAvailable([&](CCameraDevice& x) { x.RenameGroup(0, 1, name); });
    expectNotAvailable([&](CCameraDevice& x) { x.MoveItem(0, 1, 1, 2); });
    expectNotAvailable([&](CCameraDevice& x) { x.ListItems(0, 1, items); });
}

TEST(DeviceDefaults, CameraSlotsChangeNothing) {
    PlainDevice d;
    d.SetStatus(7);
    CameraInfo info{};
    info.totalPictures = 42;
    CameraClockId clockId{};
    clockId.time.hour = 9;

    d.Open(384, 1);
    d.Close();
    d.CheckLink(0);
    d.ReadClockId(&clockId);
    d.ReadInfo(&info);
    d.SetSpeed(96);
    d.SetClockId(&clockId);
    d.Reserved17(0);
    d.Reserved18(0);
    d.CheckLink19(0);
    d.CheckLink20(0);
    d.Reserved22();

    EXPECT_EQ(d.Status(), 7u);
    EXPECT_EQ(d.GetResult(), 0);
    EXPECT_EQ(d.LinkSpeed(), 96);
    EXPECT_EQ(d.PreferredSpeed(), 2304);
    EXPECT_EQ(info.totalPictures, 42);
    EXPECT_EQ(clockId.time.hour, 9);
    EXPECT_EQ(d.Reserved16(), -1);
    EXPECT_EQ(d.Reserved21(), 0);
    EXPECT_EQ(d.Status(), 7u);
}

}  // namespace

// Fuzz target: the picture store operations against a virtual camera whose stores, group names,
// item records and status block bytes come from the input, so that every answer is well framed
// but its contents (counts, names, lists) are anything. The caller's room is drawn too.
//
// Input: byte 0 the operation and store, byte 1 the caller's room, byte 2 the group, then the
// camera's contents (see ReadStore), then raw status block bytes as (offset, value) pairs.
#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <span>
#include <vector>

#include "camera/camera.hpp"
#include "sim/camera_sim.hpp"
#include "sim/sim.hpp"

namespace {

class Input {
  public:
    Input(const uint8_t* data, size_t size) : m_data(data), m_size(size) {}
    uint8_t Byte() { return m_at < m_size ? m_data[m_at++] : 0; }
    bool Empty() const { return m_at >= m_size; }

  private:
    const uint8_t* m_data;
    size_t m_size;
    size_t m_at = 0;
};

// Groups (at most 6), each with a 16-byte name and up to 40 items of 20 record bytes (a few
// bytes from the input, the rest a pattern).
void ReadStore(Input& in, sim::PictureStore& store) {
    store.pictures = static_cast<int16_t>(in.Byte() % 4);
    const int groups = 1 + in.Byte() % 6;
    for (int g = 0; g < groups; ++g) {
        sim::PictureGroup group;
        for (uint8_t& c : group.name) {
            c = in.Byte();
        }
        const int items = in.Byte() % 41;
        for (int i = 0; i < items; ++i) {
            sim::PictureItem item;
            for (size_t k = 0; k < item.record.size(); ++k) {
                item.record[k] = static_cast<uint8_t>(k < 4 ? in.Byte() : 'A' + (i + k) % 26);
            }
            group.items.push_back(item);
        }
        store.groups.push_back(std::move(group));
    }
}

void Check(bool condition) {
    if (!condition) {
        std::abort();
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    Input in(data, size);
    const uint8_t op = in.Byte();
    const size_t room = in.Byte() % 64;
    const auto group = static_cast<int16_t>(static_cast<int8_t>(in.Byte()));
    const int32_t store = (op & 0x10) != 0 ? 1 : 0;

    sim::VirtualClock clock;
    ScopedClock scoped(clock);
    sim::VirtualLine line(clock);
    sim::VirtualCamera camera(line.CameraEnd());
    line.AttachCamera(&camera);
    sim::VirtualPortSystem ports;
    ports.Connect(1, &line);

    sim::CameraState& state = camera.State();
    state.store1Present = (op & 0x20) != 0;
    ReadStore(in, state.store0);
    ReadStore(in, state.store1);
    for (int k = 0; k < 8 && !in.Empty(); ++k) {
        const auto offset = static_cast<uint8_t>(in.Byte() % kStatusBlockSize);
        state.statusOverrides.emplace_back(offset, in.Byte());
    }

    {
        CCameraProtocol link(ports);
        link.OpenPort(1);
        switch (op & 0x07) {
            case 0: {
                std::vector<GroupEntry> entries(room);
                link.ReadGroupTable(store, entries);
                break;
            }
            case 1: {
                std::vector<ItemName> names(room);
                if (link.ListItems(store, group, names) == 0 && link.GetResult() == 0) {
                    for (const ItemName& name : names) {
                        Check(name[7] == '.' || name == ItemName{});
                    }
                }
                break;
            }
            case 2: {
                NameTable table;
                link.ReadNameTable(&table);
                break;
            }
            case 3:
                link.GroupCommand(store, group);
                break;
            case 4:
                link.MoveItem(store, static_cast<int16_t>(room), group,
                              static_cast<int16_t>(room % 7));
                break;
            case 5: {
                NameField name = {};
                std::copy_n(state.store0.groups[0].name.begin(), name.size(), name.begin());
                link.RenameGroup(store, group, name);
                break;
            }
            case 6:
                link.SelectName(group);
                break;
            default: {
                CameraInfo info;
                link.ReadInfo(&info);
                break;
            }
        }
        link.ClosePort();
    }
    Check(!line.HostEndOpen());
    return 0;
}

// Picture-store commands 0x42 to 0x4A on the name table and the two stores of groups and items.
// Parameters that name an absent store, a group beyond the store's groups or an item beyond the
// group's items are refused with 0xE1.
#include <algorithm>
#include <string>

#include "sim/camera_impl.hpp"

namespace sim {

namespace {

constexpr size_t kNameLength = 15;
constexpr size_t kGroupNameEntry = 16;
constexpr size_t kItemRecord = 20;
constexpr int kHighestNameIndex = 8;

// Groups 0 to n exist when the store holds n + 1 groups; a store without any is empty group 0.
int GroupCount(const PictureStore& store) {
    return store.groups.empty() ? 0 : static_cast<int>(store.groups.size()) - 1;
}

size_t ItemsIn(const PictureStore& store, int group) {
    const auto g = static_cast<size_t>(group);
    return g < store.groups.size() ? store.groups[g].items.size() : 0;
}

// The data of 0x44: 16 x n bytes; the name of group k (1 to n) is the 15 bytes at 15 x (k - 1),
// which is where the host reads it. The last n bytes carry nothing.
std::vector<uint8_t> GroupNamesData(const PictureStore& store) {
    const int n = GroupCount(store);
    std::vector<uint8_t> data(kGroupNameEntry * static_cast<size_t>(n), 0);
    for (int k = 1; k <= n; ++k) {
        const auto& name = store.groups[static_cast<size_t>(k)].name;
        std::copy_n(name.begin(), kNameLength,
                    data.begin() + static_cast<std::ptrdiff_t>(kNameLength * (k - 1)));
    }
    return data;
}

// The data of 0x45: the item count, 32-bit big-endian, then 12 bytes that carry nothing.
std::vector<uint8_t> ItemCountData(size_t count) {
    std::vector<uint8_t> data(16, 0);
    const auto c = static_cast<uint32_t>(count);
    data[0] = static_cast<uint8_t>(c >> 24);
    data[1] = static_cast<uint8_t>(c >> 16);
    data[2] = static_cast<uint8_t>(c >> 8);
    data[3] = static_cast<uint8_t>(c);
    return data;
}

// The data of 0x4A: the item count, 16-bit big-endian, then one 20-byte record per item.
std::vector<uint8_t> ItemListData(const PictureStore& store, int group) {
    const size_t count = std::min<size_t>(ItemsIn(store, group), 0x7FFF);
    std::vector<uint8_t> data;
    data.reserve(2 + kItemRecord * count);
    data.push_back(static_cast<uint8_t>(count >> 8));
    data.push_back(static_cast<uint8_t>(count));
    for (size_t i = 0; i < count; ++i) {
        const auto& record = store.groups[static_cast<size_t>(group)].items[i].record;
        data.insert(data.end(), record.begin(), record.end());
    }
    return data;
}

}  // namespace

CommandPlan VirtualCamera::Impl::PlanStoreCommand(const CommandPacket& p) {
    CameraState& state = cam.m_state;
    const int command = p[0];

    if (command == 0x42) {
        CommandPlan plan;
        plan.data = CommandPlan::Data::FromHost;
        plan.frameLength = 258;
        plan.onData = [this](const std::vector<uint8_t>& data) {
            auto& table = cam.m_state.nameTable;
            std::copy_n(data.begin(), std::min(table.size(), data.size()), table.begin());
            Log("name table written");
        };
        return plan;
    }
    if (command == 0x43) {
        CommandPlan plan;
        plan.data = CommandPlan::Data::ToHost;
        plan.toHost.assign(state.nameTable.begin(), state.nameTable.end());
        plan.frameLength = 257;
        return plan;
    }
    if (command == 0x49) {
        const int index = p[2];
        if (index > kHighestNameIndex) {
            return CommandPlan::Refused();
        }
        CommandPlan plan;
        plan.onAccepted = [this, index] {
            cam.m_state.selectedName = index;
            Log("name " + std::to_string(index) + " selected");
        };
        return plan;
    }

    // The rest act on a store.
    if (p[1] > 1 || (p[1] == 1 && !state.store1Present)) {
        return CommandPlan::Refused();
    }
    const int storeNumber = p[1];
    PictureStore& store = storeNumber == 0 ? state.store0 : state.store1;
    const int n = GroupCount(store);
    const int group = p[4];

    CommandPlan plan;
    switch (command) {
        case 0x44:
            plan.data = CommandPlan::Data::ToHost;
            plan.toHost = GroupNamesData(store);
            plan.frameLength = 257;
            return plan;
        case 0x45:
            if (group > n) {
                return CommandPlan::Refused();
            }
            plan.data = CommandPlan::Data::ToHost;
            plan.toHost = ItemCountData(ItemsIn(store, group));
            plan.frameLength = 17;
            plan.slow = true;
            return plan;
        case 0x46:
            if (group > n) {
                return CommandPlan::Refused();
            }
            plan.slow = true;
            plan.onAccepted = [this, storeNumber, group] {
                Log("group command on store " + std::to_string(storeNumber) + " group " +
                    std::to_string(group));
            };
            return plan;
        case 0x47:
            if (group < 1 || group > n) {
                return CommandPlan::Refused();
            }
            plan.data = CommandPlan::Data::FromHost;
            plan.frameLength = 18;
            plan.onData = [&store, group](const std::vector<uint8_t>& data) {
                if (static_cast<size_t>(group) >= store.groups.size()) {
                    return;  // the stores were changed meanwhile
                }
                auto& name = store.groups[static_cast<size_t>(group)].name;
                name.fill(0);
                std::copy_n(data.begin(), std::min(kNameLength, data.size()), name.begin());
            };
            return plan;
        case 0x48: {
            const int item = BigEndian16(p[2], p[3]);
            const int to = p[5];
            if (group > n || to > n || item < 1 ||
                static_cast<size_t>(item) > ItemsIn(store, group)) {
                return CommandPlan::Refused();
            }
            plan.slow = true;
            plan.onAccepted = [this, &store, item, group, to] {
                if (static_cast<size_t>(item) > ItemsIn(store, group) ||
                    static_cast<size_t>(to) >= store.groups.size()) {
                    return;  // the stores were changed meanwhile
                }
                auto& from = store.groups[static_cast<size_t>(group)].items;
                const auto it = from.begin() + (item - 1);
                const PictureItem moved = *it;
                from.erase(it);
                store.groups[static_cast<size_t>(to)].items.push_back(moved);
                Log("item " + std::to_string(item) + " moved from group " + std::to_string(group) +
                    " to group " + std::to_string(to));
            };
            return plan;
        }
        case 0x4A:
            if (group > n) {
                return CommandPlan::Refused();
            }
            plan.data = CommandPlan::Data::ToHost;
            plan.toHost = ItemListData(store, group);
            plan.frameLength = 257;
            plan.slow = true;
            return plan;
        default:
            return CommandPlan::Refused();
    }
}

}  // namespace sim

// The items of a picture store's groups: moving an item between groups and listing the items of
// a group, with the item list's layout.
#include <algorithm>

#include "camera/camera.hpp"
#include "camera/wire_bytes.hpp"

namespace {

constexpr uint8_t kOpMoveItem = 0x48;
constexpr uint8_t kOpListItems = 0x4A;

constexpr int kItemListFrame = 257;    // 256 data bytes and the XOR byte
constexpr size_t kListCountBytes = 2;  // the item list starts with its 16-bit count

}  // namespace

ItemName ItemNameFromRecord(std::span<const uint8_t, kItemRecordBytes> record) {
    ItemName name{};
    std::copy(record.begin(), record.begin() + 7, name.begin());
    name[7] = '.';
    std::copy(record.begin() + 8, record.begin() + 11, name.begin() + 8);
    return name;  // bytes 11 to 14 stay 0
}

int32_t CCameraProtocol::MoveItem(int32_t store, int16_t item, int16_t fromGroup, int16_t toGroup) {
    m_status = kStatusOk;
    m_result = kResultOk;
    if (const std::optional<int32_t> ended = OpenStoreGroups(store, {fromGroup, toGroup}, 0)) {
        return *ended;
    }
    const int32_t items = ReadItemCount(store, fromGroup);
    if (item < 1 || item > items) {
        return EndWithResult(kResultBadArgument);
    }
    const auto number = static_cast<uint16_t>(item);
    RunStoreCommand(kOpMoveItem, store,
                    {0, static_cast<uint8_t>(number >> 8), static_cast<uint8_t>(number & 0xFF),
                     static_cast<uint8_t>(fromGroup), static_cast<uint8_t>(toGroup)},
                    nullptr, 0, nullptr, 0, 0, wire::kSlowCompletionMs);
    return static_cast<int32_t>(FinishOperation());
}

int32_t CCameraProtocol::ListItems(int32_t store, int16_t group, std::span<ItemName> out) {
    m_status = kStatusOk;
    m_result = kResultOk;
    if (const std::optional<int32_t> ended = OpenStoreGroups(store, {group}, 0)) {
        return *ended;
    }
    const int32_t items = ReadItemCount(store, group);
    if (items <= 0) {
        return EndWithResult(kResultBadArgument);
    }
    if (m_status != kStatusOk) {
        return static_cast<int32_t>(FinishOperation());
    }
    // The count comes from the camera: it must fit the caller's room and a list the camera can
    // send before anything is allocated or asked for.
    const auto count = static_cast<size_t>(items);
    if (count > out.size()) {
        return EndWithResult(kResultBadArgument);
    }
    if (items > kMaxListItems) {
        return EndWithResult(kResultNoMemory);
    }
    const size_t listBytes = kListCountBytes + kItemRecordBytes * count;
    const ZeroedBlock list(static_cast<uint8_t*>(AllocZeroed(listBytes + 1)));
    if (!list) {
        return EndWithResult(kResultNoMemory);
    }
    RunStoreCommand(kOpListItems, store, {0, 0, 0, static_cast<uint8_t>(group), 0}, list.get(),
                    static_cast<int>(listBytes), nullptr, 0, kItemListFrame,
                    wire::kSlowCompletionMs);
    if (m_status == kStatusOk) {
        const uint8_t* data = list.get();
        const auto listed = static_cast<int16_t>((data[0] << 8) | data[1]);
        if (listed != items) {
            m_status = kStatusCameraFailed;
        } else {
            for (size_t i = 0; i < count; ++i) {
                const uint8_t* record = data + kListCountBytes + kItemRecordBytes * i;
                out[i] = ItemNameFromRecord(
                    std::span<const uint8_t, kItemRecordBytes>(record, kItemRecordBytes));
            }
            // Room beyond the list is cleared: a cleared entry is no item name.
            std::fill(out.begin() + static_cast<std::ptrdiff_t>(count), out.end(), ItemName{});
        }
    }
    return static_cast<int32_t>(FinishOperation());
}

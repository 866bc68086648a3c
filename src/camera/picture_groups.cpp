// The groups of a picture store: the group table (names and item counts), the group command and
// renaming a group.
#include <algorithm>
#include <cstring>

#include "camera/camera.hpp"
#include "camera/wire_bytes.hpp"

namespace {

constexpr uint8_t kOpGroupNames = 0x44;
constexpr uint8_t kOpGroupCommand = 0x46;
constexpr uint8_t kOpRenameGroup = 0x47;

constexpr int kGroupNamesFrame = 257;  // 256 data bytes and the XOR byte
constexpr int kRenameFrame = 18;       // control byte, 16 data bytes, XOR byte

}  // namespace

void FillGroupNames(std::span<const uint8_t> names, std::span<GroupEntry> entries) {
    if (entries.empty()) {
        return;
    }
    entries[0].name = {};
    for (size_t k = 1; k < entries.size(); ++k) {
        NameField& name = entries[k].name;
        const size_t offset = kNameFieldBytes * (k - 1);
        if (offset + kNameFieldBytes <= names.size()) {
            std::memcpy(name.data(), names.data() + offset, kNameFieldBytes);
        } else {
            name = {};
        }
    }
}

int32_t CCameraProtocol::ReadGroupTable(int32_t store, std::span<GroupEntry> out) {
    m_status = kStatusOk;
    m_result = kResultOk;
    int32_t groups = 0;
    if (const std::optional<int32_t> ended = OpenStore(store, &groups)) {
        return *ended;
    }
    // The table takes every group from 0 to the count.
    if (!GroupAddressable(0, 0, groups) || !GroupAddressable(groups, 0, groups)) {
        return EndWithResult(kResultBadArgument);
    }
    const size_t entries = static_cast<size_t>(groups) + 1;
    if (out.size() < entries) {
        return EndWithResult(kResultBadArgument);
    }
    const size_t nameBytes = kGroupNameBytes * static_cast<size_t>(groups);
    const ZeroedBlock names(static_cast<uint8_t*>(AllocZeroed(nameBytes + 1)));
    if (!names) {
        return EndWithResult(kResultNoMemory);
    }
    if (groups > 0) {
        RunStoreCommand(kOpGroupNames, store, {}, names.get(), static_cast<int>(nameBytes), nullptr,
                        0, kGroupNamesFrame, wire::kCompletionMs);
    }
    if (m_status != kStatusOk) {
        return static_cast<int32_t>(FinishOperation());
    }
    FillGroupNames({names.get(), nameBytes}, out.first(entries));
    // Room beyond the table is cleared, so that no stale entry looks like a group.
    const std::span<GroupEntry> unused = out.subspan(entries);
    std::fill(unused.begin(), unused.end(), GroupEntry{});
    for (int32_t k = 0; k <= groups && m_status == kStatusOk; ++k) {
        const int32_t count = ReadItemCount(store, k);
        if (m_status == kStatusOk) {
            out[static_cast<size_t>(k)].itemCount = count;
        }
    }
    return static_cast<int32_t>(FinishOperation());
}

int32_t CCameraProtocol::GroupCommand(int32_t store, int16_t group) {
    m_status = kStatusOk;
    m_result = kResultOk;
    if (const std::optional<int32_t> ended = OpenStoreGroups(store, {group}, 0)) {
        return *ended;
    }
    RunStoreCommand(kOpGroupCommand, store, {0, 0, 0, static_cast<uint8_t>(group), 0}, nullptr, 0,
                    nullptr, 0, 0, wire::kSlowCompletionMs);
    return static_cast<int32_t>(FinishOperation());
}

int32_t CCameraProtocol::RenameGroup(int32_t store, int16_t group, const NameField& name) {
    m_status = kStatusOk;
    m_result = kResultOk;
    if (!NameIsValid(name)) {
        m_status = kStatusBadArgument;
        return static_cast<int32_t>(FinishOperation());
    }
    // Group 0 has no name of its own.
    if (const std::optional<int32_t> ended = OpenStoreGroups(store, {group}, 1)) {
        return *ended;
    }
    std::array<uint8_t, kGroupNameBytes> data{};  // the name, zero-padded
    std::memcpy(data.data(), name.data(), name.size());
    RunStoreCommand(kOpRenameGroup, store, {0, 0, 0, static_cast<uint8_t>(group), 0}, nullptr, 0,
                    data.data(), static_cast<int>(data.size()), kRenameFrame, wire::kCompletionMs);
    return static_cast<int32_t>(FinishOperation());
}

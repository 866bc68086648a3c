// Steps shared by the operations on one picture store: the store check against a fresh status
// block, store commands, the item count of a group and the direct result codes.
#include <algorithm>

#include "camera/camera.hpp"
#include "camera/wire_bytes.hpp"

namespace {

constexpr uint8_t kOpItemCount = 0x45;
constexpr int kItemCountFrame = 17;  // 16 data bytes and the XOR byte

bool StoreIsAddressable(int32_t store) {
    return store == 0 || store == 1;
}

}  // namespace

bool GroupAddressable(int32_t group, int32_t lowest, int32_t groups) {
    return group >= lowest && group <= groups && group <= kMaxAddressableGroup;
}

std::optional<int32_t> StoreGroupCount(const CameraStatus& status, int32_t store) {
    if (store == 0) {
        return status.store0Groups;
    }
    if (!status.Store1Present()) {
        return std::nullopt;
    }
    return status.store1Groups;
}

int32_t CCameraProtocol::EndWithResult(int16_t result) {
    m_result = result;
    m_status = kStatusOk;
    return result;
}

std::optional<int32_t> CCameraProtocol::OpenStore(int32_t store, int32_t* groups) {
    if (m_status == kStatusOk) {
        LinkCheck();
    }
    // The counts are read afresh: an older decode may be out of date.
    if (m_status == kStatusOk) {
        StatusRequest();
    }
    if (m_status == kStatusOk) {
        Decode();
    }
    if (m_status != kStatusOk) {
        return static_cast<int32_t>(FinishOperation());
    }
    const std::optional<int32_t> count = StoreGroupCount(DecodedStatus(), store);
    if (!count) {
        return EndWithResult(kResultStoreAbsent);
    }
    *groups = *count;
    return std::nullopt;
}

std::optional<int32_t> CCameraProtocol::OpenStoreGroups(int32_t store,
                                                        std::initializer_list<int32_t> addressed,
                                                        int32_t lowest) {
    int32_t groups = 0;
    if (const std::optional<int32_t> ended = OpenStore(store, &groups)) {
        return ended;
    }
    const bool outside = std::any_of(addressed.begin(), addressed.end(), [&](int32_t group) {
        return !GroupAddressable(group, lowest, groups);
    });
    if (outside) {
        return EndWithResult(kResultBadArgument);
    }
    return std::nullopt;
}

void CCameraProtocol::RunStoreCommand(uint8_t opcode, int32_t store, std::array<uint8_t, 5> params,
                                      uint8_t* in, int inLength, const uint8_t* out, int outLength,
                                      int frameLength, int completionMs) {
    if (m_status != kStatusOk) {
        return;
    }
    if (!StoreIsAddressable(store)) {
        m_status = kStatusBadArgument;
        return;
    }
    params[0] = static_cast<uint8_t>(store);
    RunCommand(opcode, params.data(), in, inLength, out, outLength, frameLength, completionMs);
}

int32_t CCameraProtocol::ReadItemCount(int32_t store, int32_t group) {
    if (m_status != kStatusOk) {
        return 0;
    }
    if (!StoreIsAddressable(store)) {
        m_status = kStatusBadArgument;
        return 0;
    }
    // The exchange is run step by step: a count that arrived counts even when the completion
    // byte then reports a failure.
    std::array<uint8_t, kItemCountBytes> answer{};
    bool delivered = false;
    ClearCommand();
    m_command[0] = kOpItemCount;
    m_command[1] = static_cast<uint8_t>(store);
    m_command[4] = static_cast<uint8_t>(group);
    m_status = SendCommand();
    if (m_status == kStatusOk) {
        m_status = ReceivePayload(answer.data(), static_cast<int>(answer.size()), kItemCountFrame);
        delivered = m_status == kStatusOk;
    }
    if (m_status == kStatusOk) {
        m_status = ReadCompletion(wire::kSlowCompletionMs);
    }
    if (!delivered) {
        return 0;
    }
    const uint32_t count = (uint32_t{answer[0]} << 24) | (uint32_t{answer[1]} << 16) |
                           (uint32_t{answer[2]} << 8) | uint32_t{answer[3]};
    return static_cast<int32_t>(count);
}

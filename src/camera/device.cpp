// The camera device interface: default slot bodies and the status-to-result mapping.
#include "camera/camera.hpp"

int16_t ResultForStatus(uint32_t status) {
    switch (status) {
        case 0:
            return kResultOk;
        case 1:
            return kResultBadArgument;
        case 2:
            return kResultNoMemory;
        case 3:
        case 4:
        case 5:
        case 6:
        case 7:
        case 8:
        case 11:
        case 12:
        case 16:
            return kResultCommFailure;
        case 10:
            return kResultCancelled;
        case 13:
        case 17:
            return kResultWrongState;
        case 14:
            return kResultReserved;
        default:  // 9, 15, 18 and everything above 18
            return kResultOther;
    }
}

uint32_t CCameraDevice::FinishOperation() {
    const uint32_t status = m_status;
    m_result = ResultForStatus(status);
    m_status = 0;
    return status;
}

// Slots 1-8: not available unless a derived class implements them.
int32_t CCameraDevice::ReadNameTable(NameTable* /*out*/) {
    m_result = kResultNotAvailable;
    return 0;
}
int32_t CCameraDevice::WriteNameTable(const NameTable& /*in*/) {
    m_result = kResultNotAvailable;
    return 0;
}
int32_t CCameraDevice::SelectName(int16_t /*index*/) {
    m_result = kResultNotAvailable;
    return 0;
}
int32_t CCameraDevice::ReadGroupTable(int32_t /*store*/, std::span<GroupEntry> /*out*/) {
    m_result = kResultNotAvailable;
    return 0;
}
int32_t CCameraDevice::GroupCommand(int32_t /*store*/, int16_t /*group*/) {
    m_result = kResultNotAvailable;
    return 0;
}
int32_t CCameraDevice::RenameGroup(int32_t /*store*/, int16_t /*group*/, const NameField& /*name*/) {
    m_result = kResultNotAvailable;
    return 0;
}
int32_t CCameraDevice::MoveItem(int32_t /*store*/, int16_t /*item*/, int16_t /*fromGroup*/,
                                int16_t /*toGroup*/) {
    m_result = kResultNotAvailable;
    return 0;
}
int32_t CCameraDevice::ListItems(int32_t /*store*/, int16_t /*group*/, std::span<ItemName> /*out*/) {
    m_result = kResultNotAvailable;
    return 0;
}

// Slots 9-22: empty bodies, except the two reserved slots that return fixed values.
int32_t CCameraDevice::Open(int32_t /*speedCode*/, int32_t /*portNumber*/) { return 0; }
int32_t CCameraDevice::Close() { return 0; }
int32_t CCameraDevice::CheckLink(int32_t /*ignored*/) { return 0; }
int32_t CCameraDevice::ReadClockId(CameraClockId* /*out*/) { return 0; }
int32_t CCameraDevice::ReadInfo(CameraInfo* /*out*/) { return 0; }
int32_t CCameraDevice::SetSpeed(int32_t /*speedCode*/) { return 0; }
int32_t CCameraDevice::SetClockId(const CameraClockId* /*in*/) { return 0; }
int32_t CCameraDevice::Reserved16() { return -1; }
int32_t CCameraDevice::Reserved17(int32_t /*ignored*/) { return 0; }
int32_t CCameraDevice::Reserved18(int32_t /*ignored*/) { return 0; }
int32_t CCameraDevice::CheckLink19(int32_t /*ignored*/) { return 0; }
int32_t CCameraDevice::CheckLink20(int32_t /*ignored*/) { return 0; }
int32_t CCameraDevice::Reserved21() { return 0; }
int32_t CCameraDevice::Reserved22() { return 0; }

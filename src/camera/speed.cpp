// Line speeds: the digits announced to the camera, the speed command and the speed change that
// moves camera and port together.
#include <algorithm>
#include <array>
#include <iterator>

#include "camera/camera.hpp"
#include "camera/wire_bytes.hpp"

namespace {

struct SpeedEntry {
    int code;
    // cppcheck-suppress unusedStructMember
    uint8_t high;  // first two decimal digits of the announced bit rate, one per half-byte
    // cppcheck-suppress unusedStructMember
    uint8_t low;  // next two
};

// Ascending. The announced rates are the nominal ones (57,600 and 230,400 bit/s), which are not
// always the rates the port is set to for the same code.
constexpr std::array<SpeedEntry, 6> kSpeeds = {{
    {96, 0x96, 0x00},
    {192, 0x19, 0x20},
    {384, 0x38, 0x40},
    {576, 0x57, 0x60},
    {1152, 0x11, 0x52},
    {2304, 0x23, 0x04},
}};

}  // namespace

bool SpeedDigitsForCode(int speedCode, uint8_t* high, uint8_t* low) {
    const auto* entry =
        std::find_if(kSpeeds.begin(), kSpeeds.end(),
                     [speedCode](const SpeedEntry& e) { return e.code == speedCode; });
    if (entry == kSpeeds.end()) {
        return false;
    }
    *high = entry->high;
    *low = entry->low;
    return true;
}

int NextLowerSpeedCode(int speedCode) {
    // The table is ascending: the last code below speedCode is the highest.
    const auto* above =
        std::find_if(kSpeeds.begin(), kSpeeds.end(),
                     [speedCode](const SpeedEntry& e) { return e.code >= speedCode; });
    return above == kSpeeds.begin() ? 0 : std::prev(above)->code;
}

uint32_t CCameraProtocol::SpeedCommandStatus(int speedCode) {
    ClearCommand();
    m_command[0] = wire::kOpSetSpeed;
    if (!SpeedDigitsForCode(speedCode, &m_command[2], &m_command[3])) {
        return kStatusBadArgument;
    }
    // The camera switches right after its acknowledgement; there is no completion byte.
    if (SendCommand() != kStatusOk) {
        return kStatusWrongState;
    }
    m_lastReceive = NowMs();
    return kStatusOk;
}

void CCameraProtocol::SpeedChange(int speedCode) {
    if (m_status != kStatusOk) {
        return;
    }
    m_status = SpeedCommandStatus(speedCode);
    if (m_status != kStatusOk) {
        return;
    }
    m_lastReceive = NowMs();
    const uint32_t portStatus = SetPortSpeed(speedCode);
    if (portStatus == kStatusOk) {
        m_linkSpeed = speedCode;
        return;
    }

    // The port refused the new speed: put the camera back on the speed the port still has. When
    // that speed is the lower one the camera is told first, otherwise the port is set first.
    // The outcome is the port's, whatever these repair steps give.
    const int kept = m_portSpeed;
    if (kept < speedCode) {
        SpeedCommandStatus(kept);
        SetPortSpeed(kept);
    } else {
        SetPortSpeed(kept);
        SpeedCommandStatus(kept);
    }
    m_lastReceive = NowMs();
    m_status = portStatus;
}

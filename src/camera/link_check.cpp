// The link check that precedes every camera operation, and the step-down search for a working
// speed.
#include "camera/camera.hpp"
#include "camera/wire_bytes.hpp"

namespace {

constexpr int kRecoveryAttempts = 3;
constexpr uint32_t kConfirmAfterChangeMs = 400;  // speed change to confirming status request
constexpr uint32_t kBeforeBreakMs = 100;
constexpr uint32_t kRecoveryAfterBreakMs = 200;  // break and base speed to the speed change
constexpr uint32_t kSearchStepMs = 200;

}  // namespace

void CCameraProtocol::LinkCheck() {
    if (m_status != kStatusOk) {
        return;
    }
    // The probe goes out once: a camera that does not answer is recovered by a break instead.
    m_commandTries = 0;
    StatusRequest();
    if (m_status == kStatusOk) {
        Decode();
        if (m_camera.stateByte != wire::kStateReady) {
            m_status = kStatusWrongState;
            m_commandTries = wire::kCommandTries;
            return;
        }
        DelayMs(wire::kAfterGoodStatusMs);
        m_commandTries = wire::kCommandTries;
        if (m_preferredSpeed == m_linkSpeed) {
            return;
        }
        SpeedChange(m_preferredSpeed);
        if (m_status != kStatusOk) {
            return;
        }
        DelayMs(kConfirmAfterChangeMs);
        StatusRequest();
        if (m_status != kStatusOk) {
            return;
        }
        Decode();
        DelayMs(wire::kAfterGoodStatusMs);
        m_commandTries = wire::kCommandTries;
        return;
    }

    // Recovery: a break brings the camera back to 9,600 bit/s; the state byte is not tested here.
    for (int attempt = 0; attempt < kRecoveryAttempts; ++attempt) {
        DelayMs(kBeforeBreakMs);
        SetBreak(0);
        DelayMs(wire::kBreakHeldMs);
        SetBreak(1);  // ends with its own wait
        m_commandTries = wire::kCommandTries;
        SetPortSpeed(wire::kBaseSpeedCode);
        DelayMs(kRecoveryAfterBreakMs);
        m_status = kStatusOk;
        SpeedChange(m_preferredSpeed);
        if (m_status != kStatusOk) {
            continue;
        }
        DelayMs(kConfirmAfterChangeMs);
        StatusRequest();
        if (m_status == kStatusOk) {
            Decode();
            DelayMs(wire::kAfterGoodStatusMs);
            m_commandTries = wire::kCommandTries;
            return;
        }
    }

    SetPortSpeed(wire::kBaseSpeedCode);
    m_linkSpeed = wire::kBaseSpeedCode;
    StepDownSearch();
}

void CCameraProtocol::StepDownSearch() {
    SetPortSpeed(wire::kBaseSpeedCode);
    m_commandTries = wire::kCommandTries;
    m_status = kStatusOk;
    int speed = m_linkSpeed;
    while (speed > 0) {
        SpeedChange(speed);
        if (m_status == kStatusOk) {
            DelayMs(kSearchStepMs);
            StatusRequest();
            if (m_status == kStatusOk) {
                Decode();
                break;
            }
        }
        m_status = kStatusOk;
        speed = NextLowerSpeedCode(speed);
        DelayMs(kSearchStepMs);
    }
    m_commandTries = wire::kCommandTries;
    m_status = (speed == 0) ? kStatusPortFailed : kStatusOk;
}

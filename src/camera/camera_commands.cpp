// The camera operations of slots 9 to 20: open and close, the link check alone, reading the
// camera's information and its clock and ID, setting its speed, clock and ID.
#include <algorithm>

#include "camera/camera.hpp"
#include "camera/wire_bytes.hpp"

namespace {

constexpr int kContactAttempts = 3;
constexpr uint32_t kBeforeContactMs = 1000;
constexpr uint32_t kOpenAfterBreakMs = 1000;  // break and base speed to the first status request
constexpr uint32_t kBetweenCommandsMs = 10;

bool IsSpeedCode(int code) {
    uint8_t high = 0;
    uint8_t low = 0;
    return SpeedDigitsForCode(code, &high, &low);
}

}  // namespace

int32_t CCameraProtocol::Open(int32_t speedCode, int32_t portNumber) {
    m_status = kStatusOk;
    m_result = kResultOk;
    m_status = OpenPort(portNumber);
    if (m_status != kStatusOk) {
        return static_cast<int32_t>(FinishOperation());
    }
    m_linkSpeed = speedCode;

    for (int attempt = 0; attempt < kContactAttempts; ++attempt) {
        DelayMs(kBeforeContactMs);
        SetBreak(0);
        DelayMs(wire::kBreakHeldMs);
        SetBreak(1);
        m_commandTries = wire::kCommandTries;
        SetPortSpeed(wire::kBaseSpeedCode);
        DelayMs(kOpenAfterBreakMs);
        m_status = kStatusOk;
        StatusRequest();
        if (m_status == kStatusOk) {
            Decode();
            if (m_camera.stateByte != wire::kStateReady) {
                m_status = kStatusWrongState;
            } else {
                DelayMs(wire::kAfterGoodStatusMs);
                StepDownSearch();
            }
            break;
        }
        if (attempt == kContactAttempts - 1) {
            m_status = kStatusPortFailed;
        }
    }

    SpeedChange(speedCode);
    StatusRequest();

    if (m_status != kStatusOk) {
        ClosePort();
    } else {
        m_preferredSpeed = m_linkSpeed;
    }
    return static_cast<int32_t>(FinishOperation());
}

int32_t CCameraProtocol::Close() {
    m_status = kStatusOk;
    m_result = kResultOk;
    SpeedChange(wire::kBaseSpeedCode);
    ClosePort();
    m_status = kStatusOk;  // closing the port cannot fail
    return static_cast<int32_t>(m_status);
}

int32_t CCameraProtocol::CheckLink(int32_t /*ignored*/) {
    m_status = kStatusOk;
    m_result = kResultOk;
    LinkCheck();
    return static_cast<int32_t>(FinishOperation());
}

int32_t CCameraProtocol::CheckLink19(int32_t ignored) {
    return CheckLink(ignored);
}

int32_t CCameraProtocol::CheckLink20(int32_t ignored) {
    return CheckLink(ignored);
}

int32_t CCameraProtocol::ReadClockId(CameraClockId* out) {
    m_status = kStatusOk;
    m_result = kResultOk;
    LinkCheck();
    StatusRequest();
    Decode();
    if (m_status == kStatusOk && out != nullptr) {
        out->time = CameraTimeFromClock(m_camera.clock);
        if (out->text != nullptr) {
            *out->text = m_camera.cameraId;
        }
    }
    return static_cast<int32_t>(FinishOperation());
}

int32_t CCameraProtocol::ReadInfo(CameraInfo* out) {
    m_status = kStatusOk;
    m_result = kResultOk;
    LinkCheck();
    StatusRequest();
    Decode();
    if (m_status == kStatusOk) {
        FillCameraInfo(m_camera, &m_info);
        if (out != nullptr) {
            *out = m_info;
        }
    }
    return static_cast<int32_t>(FinishOperation());
}

int32_t CCameraProtocol::SetSpeed(int32_t speedCode) {
    m_status = kStatusOk;
    m_result = kResultOk;
    if (!IsSpeedCode(speedCode)) {
        m_status = kStatusBadArgument;
        return static_cast<int32_t>(FinishOperation());
    }
    LinkCheck();
    SpeedChange(speedCode);
    return static_cast<int32_t>(FinishOperation());
}

int32_t CCameraProtocol::SetClockId(const CameraClockId* in) {
    m_status = kStatusOk;
    m_result = kResultOk;
    if (in != nullptr && in->text == nullptr) {
        m_status = kStatusBadArgument;  // the ID text to send is missing
        return static_cast<int32_t>(FinishOperation());
    }
    LinkCheck();
    if (m_status != kStatusOk || in == nullptr) {
        return static_cast<int32_t>(FinishOperation());
    }

    DelayMs(kBetweenCommandsMs);
    const uint32_t clock = ClockFromCameraTime(in->time);
    const uint8_t clockParams[5] = {0, static_cast<uint8_t>(clock >> 24),
                                    static_cast<uint8_t>(clock >> 16),
                                    static_cast<uint8_t>(clock >> 8), static_cast<uint8_t>(clock)};
    RunCommand(wire::kOpSetClock, clockParams, nullptr, 0, nullptr, 0, 0, wire::kCompletionMs);
    if (m_status == kStatusOk) {
        DelayMs(kBetweenCommandsMs);
        std::array<uint8_t, kCameraIdLength> id{};
        std::copy_n(in->text->begin(), kCameraIdLength, id.begin());
        RunCommand(wire::kOpSetId, nullptr, nullptr, 0, id.data(), static_cast<int>(id.size()),
                   wire::kIdFrame, wire::kCompletionMs);
    }
    return static_cast<int32_t>(FinishOperation());
}

// Connection: port search, greeting, switch into download mode and the transfer speed.
#include <cstring>

#include "download/download.hpp"

namespace {

constexpr char kGreeting[] = "VXPLEQFZURBW";
constexpr char kGreetingAnswer[] = "WBRUZFQELPXV";
constexpr uint16_t kGreetingLength = 12;
constexpr uint8_t kOpcodeDownloadMode = 0x8D;

constexpr int kGreetingAnswerMs = 2000;        // the camera answers the greeting within this
constexpr uint32_t kAfterGreetingMs = 20;      // after the host has taken the answer
constexpr uint32_t kStepPauseMs = 100;         // between the steps of the connection
constexpr uint32_t kBetweenAttemptsMs = 1000;  // the search's two attempts on one port
constexpr uint32_t kLoaderStartMs = 500;       // the switch to download mode, to the greeting

}  // namespace

void CCameraLink::Greet() {
    m_result = 0;
    m_status = kStatusOk;
    PurgePort(2);
    if (!IsPortOpen()) {
        // No port, no buffers: the greeting cannot be written.
        m_status = kStatusPortFailed;
        return;
    }
    std::memcpy(m_sendBuf, kGreeting, kGreetingLength);
    m_sendLen = kGreetingLength;
    m_status = WritePort(wire::kWriteTimeoutMs);
    if (m_status != kStatusOk) {
        return;
    }
    m_recvLen = kGreetingLength;
    m_status = ReadPort(kGreetingAnswerMs);
    if (m_status != kStatusOk) {
        return;
    }
    if (std::memcmp(m_recvBuf, kGreetingAnswer, kGreetingLength) != 0) {
        m_status = kStatusRefused;
        return;
    }
    m_status = SendByte(wire::kAccepted);
    DelayMs(kAfterGreetingMs);
}

void CCameraLink::EnterDownloadMode() {
    m_result = 0;
    m_status = kStatusOk;
    ClearCommand();
    m_command[0] = kOpcodeDownloadMode;
    m_status = SendCommand();
    if (m_status != kStatusOk) {
        return;
    }
    m_status = ReadCompletion(wire::kCompletionMs);
}

int32_t CCameraLink::Connect(int32_t port, int32_t speedCode, CameraInfo* information,
                             CameraClockId* clockAndIdentity, int32_t* alreadyInDownloadMode) {
    m_status = kStatusOk;
    bool greeted = false;  // the camera has already answered a greeting

    if (port == 0) {
        for (int p = 1; p <= 4; ++p) {
            m_status = OpenPortToSearch(p);
            if (m_status != kStatusOk) {
                continue;
            }
            bool found = false;
            for (int attempt = 0; attempt < 2 && !found; ++attempt) {
                if (attempt > 0) {
                    m_status = kStatusOk;
                    DelayMs(kBetweenAttemptsMs);
                }
                Greet();
                if (m_status == kStatusOk) {
                    greeted = true;
                    DelayMs(kStepPauseMs);
                    found = true;
                    break;
                }
                // No answer to the greeting: a camera in normal mode takes the speed command.
                m_status = kStatusOk;
                SpeedChange(wire::kBaseSpeedCode);
                found = (m_status == kStatusOk);
            }
            if (found) {
                break;
            }
            ClosePort();  // the failed speed change's status stays
        }
    } else if (port >= 1 && port <= 4) {
        m_status = OpenPort(port);
    }
    // Any other port value opens nothing; the greeting below then fails on the closed port.

    if (m_status == kStatusOk) {
        if (!greeted) {
            Greet();
        }
        if (m_status == kStatusOk) {
            if (alreadyInDownloadMode != nullptr) {
                *alreadyInDownloadMode = 1;
            }
        } else {
            // Normal mode: read what the camera reports, then switch it and greet it again. The
            // two reads and the switch leave no status behind; the final greeting decides.
            m_preferredSpeed = m_linkSpeed;
            DelayMs(kStepPauseMs);
            ReadInfo(information);
            DelayMs(kStepPauseMs);
            ReadClockId(clockAndIdentity);
            DelayMs(kStepPauseMs);
            EnterDownloadMode();
            DelayMs(kLoaderStartMs);
            Greet();
            if (alreadyInDownloadMode != nullptr) {
                *alreadyInDownloadMode = 0;
            }
        }
        DelayMs(kStepPauseMs);
        if (m_status == kStatusOk) {
            SpeedChange(speedCode);
        }
    }
    return static_cast<int32_t>(FinishOperation());
}

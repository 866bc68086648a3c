// Command packets and one-byte answers: building and sending the command packet with its pacing
// and tries, single answer bytes, acknowledgements and the completion byte.
#include <algorithm>

#include "camera/camera.hpp"
#include "camera/wire_bytes.hpp"

void CCameraProtocol::ClearCommand() {
    m_command.fill(0);
    m_command[7] = wire::kCommandEnd;
}

uint32_t CCameraProtocol::SendCommand() {
    PurgePort(2);

    // The camera needs a quiet line for a while after the end of the last exchange.
    const uint32_t readyAt = m_lastReceive + wire::kQuietBeforeCommandMs;
    const uint32_t now = NowMs();
    if (!TimeReached(now, readyAt)) {
        DelayMs(readyAt - now);
    }

    if (m_sendBuf == nullptr) {
        return kStatusPortFailed;
    }
    std::copy(m_command.begin(), m_command.end(), m_sendBuf);

    const int sendings = std::max<int>(m_commandTries, 1);
    for (int sending = 0; sending < sendings; ++sending) {
        m_sendLen = wire::kCommandLength;
        const uint32_t written = WritePort(wire::kWriteTimeoutMs);
        if (written != kStatusOk) {
            return written;
        }
        const uint32_t answer = ReadAck(wire::kAccepted, wire::kCommandRefused);
        if (answer == kStatusOk || answer == kStatusRefused || answer == kStatusInsteadOfAck) {
            return answer;
        }
    }
    return kStatusTimeout;
}

uint32_t CCameraProtocol::SendByte(int byte) {
    if (m_sendBuf == nullptr) {
        return kStatusPortFailed;
    }
    m_sendBuf[0] = static_cast<uint8_t>(byte);
    m_sendLen = 1;
    const uint32_t status = WritePort(wire::kWriteTimeoutMs);
    PurgePort(0);
    return status;
}

uint32_t CCameraProtocol::ReadAck(int acceptByte, int refuseByte) {
    m_recvLen = 1;
    const uint32_t status = ReadPort(wire::kAckTimeoutMs);
    if (status != kStatusOk) {
        return status;
    }
    const int byte = m_recvBuf[0];
    if (byte == acceptByte) {
        return kStatusOk;
    }
    if (byte == refuseByte) {
        return kStatusRefused;
    }
    if (byte == wire::kInsteadOfAck) {
        return kStatusInsteadOfAck;
    }
    return kStatusTimeout;
}

uint32_t CCameraProtocol::ReadCompletion(int timeoutMs) {
    m_recvLen = 1;
    uint32_t status = ReadPort(timeoutMs);
    if (status == kStatusOk && m_recvBuf[0] != wire::kCompletionOk) {
        status = kStatusCameraFailed;
    }
    m_lastReceive = NowMs();
    return status;
}

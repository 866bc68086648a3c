// Data packets in both directions: receiving a packet with its XOR check and five tries, sending
// a packet (with or without control byte) with its five tries, and whole payloads split into
// packets of one frame length.
#include <algorithm>

#include "camera/camera.hpp"
#include "camera/wire_bytes.hpp"

namespace {

uint8_t XorOf(const uint8_t* bytes, int count) {
    uint8_t x = 0;
    for (int i = 0; i < count; ++i) {
        x = static_cast<uint8_t>(x ^ bytes[i]);
    }
    return x;
}

// A frame (payload and XOR byte, plus the control byte when sent) must fit the port buffers.
bool FrameFits(int frameLength) {
    return frameLength >= 2 && frameLength <= static_cast<int>(kPortBufferSize) - 1;
}

}  // namespace

uint32_t CCameraProtocol::ReceiveBlock(uint8_t* dst, int count) {
    const int size = m_packetSize;
    if (m_recvBuf == nullptr) {
        return kStatusPortFailed;
    }
    if (!FrameFits(size + 1) || count < 0 || count > size) {
        return kStatusBadArgument;
    }
    const auto frame = static_cast<uint16_t>(size + 1);

    uint32_t failed = kStatusTimeout;
    for (int attempt = 0; attempt < wire::kDataPacketTries; ++attempt) {
        m_recvLen = frame;
        const uint32_t read =
            ReadPortKeepingPending(attempt == 0 ? wire::kFirstPacketMs : wire::kLaterPacketMs);

        if (read == kStatusOk) {
            std::copy_n(m_recvBuf, count, dst);
            if (XorOf(m_recvBuf, size) == m_recvBuf[size]) {
                return SendByte(wire::kPacketAccepted);
            }
            failed = kStatusXorFailed;  // the camera sends the packet again unasked
            continue;
        }
        failed = kStatusTimeout;
        if (read != kStatusTimeout) {
            continue;  // the port failed: nothing to answer
        }

        // After a time-out m_recvLen holds the number of bytes that were pending, and is left
        // unchanged when none were.
        const bool onePending = (m_recvLen == 1 && frame != 1);
        if (onePending) {
            // A single byte stands for the camera's answer in place of the packet.
            m_recvLen = 1;
            if (ReadPort(0) == kStatusOk) {
                if (m_recvBuf[0] == wire::kNoPacket) {
                    return kStatusCameraFailed;
                }
                if (DrainLine() != kStatusOk) {
                    return kStatusTimeout;
                }
                continue;
            }
        }
        PurgePort(1);
        SendByte(wire::kPacketAgain);
        m_recvLen = frame;
    }
    return failed;
}

uint32_t CCameraProtocol::SendDataPacket(const uint8_t* src, int count) {
    if (m_sendBuf == nullptr) {
        return kStatusPortFailed;
    }
    if (count < 0 || !FrameFits(count + 1)) {
        return kStatusBadArgument;
    }
    std::copy_n(src, count, m_sendBuf);
    m_sendBuf[count] = XorOf(src, count);

    uint32_t status = kStatusTimeout;
    for (int sending = 0; sending < wire::kDataPacketTries; ++sending) {
        m_sendLen = static_cast<uint16_t>(count + 1);
        status = WritePort(wire::kWriteTimeoutMs);
        if (status != kStatusOk) {
            continue;
        }
        status = ReadAck(wire::kPacketAccepted, wire::kPacketAgain);
        if (status != kStatusRefused) {
            return status;  // accepted, or an answer that ends the packet at once
        }
    }
    return status;
}

uint32_t CCameraProtocol::SendBlock(const uint8_t* src, int count, int control) {
    if (m_sendBuf == nullptr) {
        return kStatusPortFailed;
    }
    const int frame = m_packetSize + 1;
    const int capacity = frame - 2;
    if (!FrameFits(frame) || frame < 3 || count < 0 || count > capacity) {
        return kStatusBadArgument;
    }
    m_sendBuf[0] = static_cast<uint8_t>(control);
    uint8_t* payload = m_sendBuf + 1;
    std::copy_n(src, count, payload);
    std::fill(payload + count, payload + capacity, uint8_t{0});
    payload[capacity] = XorOf(payload, capacity);

    uint32_t status = kStatusTimeout;
    for (int sending = 0; sending < wire::kDataPacketTries; ++sending) {
        m_sendLen = static_cast<uint16_t>(frame);
        status = WritePort(wire::kWriteTimeoutMs);
        if (status != kStatusOk) {
            continue;
        }
        status = ReadAck(wire::kPacketAccepted, wire::kPacketAgain);
        if (status != kStatusRefused) {
            return status;
        }
    }
    return status;
}

uint32_t CCameraProtocol::ReceivePayload(uint8_t* dst, int length, int frameLength) {
    if (!FrameFits(frameLength)) {
        return length > 0 ? kStatusBadArgument : kStatusOk;
    }
    m_packetSize = static_cast<int16_t>(frameLength - 1);
    while (length > 0) {
        const int k = std::min<int>(length, m_packetSize);
        const uint32_t status = ReceiveBlock(dst, k);
        if (status != kStatusOk) {
            return status;
        }
        dst += k;
        length -= k;
    }
    return kStatusOk;
}

uint32_t CCameraProtocol::SendPayload(const uint8_t* src, int length, int frameLength) {
    if (!FrameFits(frameLength) || frameLength < 3) {
        return length > 0 ? kStatusBadArgument : kStatusOk;
    }
    m_packetSize = static_cast<int16_t>(frameLength - 1);
    const int capacity = frameLength - 2;
    while (length > 0) {
        const int k = std::min(length, capacity);
        const int control = (k == length) ? wire::kLastPacket : wire::kMorePackets;
        const uint32_t status = SendBlock(src, k, control);
        if (status != kStatusOk) {
            return status;
        }
        src += k;
        length -= k;
    }
    return kStatusOk;
}

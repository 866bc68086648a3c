// One command exchange: command packet, optional data phase, completion byte.
#include <algorithm>

#include "camera/camera.hpp"
#include "camera/wire_bytes.hpp"

void CCameraProtocol::RunCommand(uint8_t opcode, const uint8_t params[5], uint8_t* in, int inLength,
                                 const uint8_t* out, int outLength, int frameLength,
                                 int completionMs) {
    if (m_status != kStatusOk) {
        return;
    }
    ClearCommand();
    m_command[0] = opcode;
    if (params != nullptr) {
        std::copy_n(params, 5, m_command.begin() + 1);
    }
    m_status = SendCommand();
    if (m_status == kStatusOk && in != nullptr) {
        m_status = ReceivePayload(in, inLength, frameLength);
    }
    if (m_status == kStatusOk && out != nullptr) {
        m_status = SendPayload(out, outLength, frameLength);
    }
    if (m_status == kStatusOk) {
        m_status = ReadCompletion(completionMs);
    }
}

void CCameraProtocol::StatusRequest() {
    RunCommand(wire::kOpStatus, nullptr, m_statusBlock.data(), static_cast<int>(kStatusBlockSize),
               nullptr, 0, wire::kStatusFrame, wire::kCompletionMs);
}

void CCameraProtocol::Decode() {
    if (m_status != kStatusOk) {
        return;
    }
    m_camera = DecodeStatusBlock(m_statusBlock);
}

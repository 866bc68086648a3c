// One command exchange after the packet: acknowledgement, data packets to the host with their
// resends, data frames from the host with their XOR check, and the completion byte.
#include <algorithm>
#include <string>

#include "sim/camera_impl.hpp"

namespace sim {

namespace {

bool Matches(int faultOpcode, int opcode) {
    return faultOpcode == kAnyOpcode || faultOpcode == opcode;
}

std::string AckName(uint8_t ack) {
    switch (ack) {
        case kAccept:
            return "0xD1 (accepted)";
        case kRefuse:
            return "0xE1 (refused)";
        default:
            return HexByte(ack);
    }
}

}  // namespace

void VirtualCamera::Impl::SendAck() {
    SendByte(current.ack);
    Log("tx ack " + AckName(current.ack));
    if (current.ack != kAccept) {
        Finish();
        return;
    }
    if (current.onAccepted) {
        current.onAccepted();
    }
    if (current.baudAfterAck) {
        const uint32_t baud = *current.baudAfterAck;
        phase = ExchangePhase::Working;
        WhenOutputDrained([this, baud] {
            SetSpeed(baud);
            if (current.completes) {
                StartDataPhase();
            } else {
                Finish();
            }
        });
        return;
    }
    if (!current.completes) {
        Finish();
        return;
    }
    StartDataPhase();
}

void VirtualCamera::Impl::StartDataPhase() {
    switch (current.data) {
        case CommandPlan::Data::None:
            ScheduleCompletion();
            return;
        case CommandPlan::Data::ToHost:
            sendOffset = 0;
            sendings = 0;
            if (current.toHost.empty()) {
                ScheduleCompletion();
                return;
            }
            phase = ExchangePhase::Working;
            if (Matches(cam.m_faults.e2InsteadOfPacketOpcode, opcode)) {
                Later(AnswerDelayUs(), [this] {
                    SendByte(kNoPacket);
                    Log("tx 0xE2 instead of the data packet (fault)");
                    Finish();
                });
                return;
            }
            Later(AnswerDelayUs(), [this] { SendDataPacket(); });
            return;
        case CommandPlan::Data::FromHost:
        case CommandPlan::Data::FromHostPlain:
            phase = ExchangePhase::ReceiveFrames;
            frame.clear();
            received.clear();
            window.clear();
            ArmFrameWait();
            return;
    }
}

void VirtualCamera::Impl::SendDataPacket() {
    const CameraFaults& f = cam.m_faults;
    const size_t payloadSize = current.frameLength - 1;
    const size_t take = std::min(payloadSize, current.toHost.size() - sendOffset);
    std::vector<uint8_t> out(current.frameLength, 0);
    std::copy_n(current.toHost.begin() + static_cast<std::ptrdiff_t>(sendOffset), take,
                out.begin());
    const uint8_t x = XorOf(out.data(), payloadSize);

    ++sendings;
    const int k = badXorCounter.Next(f.badXorOnPacket);
    const bool bad = f.badXorOnPacket > 0 && k >= f.badXorOnPacket &&
                     k < f.badXorOnPacket + std::max(1, f.badXorCount);
    out[payloadSize] = bad ? static_cast<uint8_t>(x ^ 0xFF) : x;
    Send(out);

    const size_t packets = (current.toHost.size() + payloadSize - 1) / payloadSize;
    Log("tx data packet " + std::to_string(sendOffset / payloadSize + 1) + "/" +
        std::to_string(packets) + " (" + std::to_string(out.size()) + " bytes, XOR " +
        HexByte(out[payloadSize]) + (bad ? ", wrong on purpose" : "") + "), sending " +
        std::to_string(sendings));

    phase = ExchangePhase::AwaitAnswer;
    window.clear();
    const uint64_t lineUs = out.size() * ByteTimeUs(line.BaudRate());
    waitIsFrameWait = false;
    waitTimer = Later(cam.m_timing.resendAfterUs + lineUs, [this] { OnResendTimeout(); });
}

void VirtualCamera::Impl::OnHostAnswer(uint8_t byte) {
    CancelTimer(waitTimer);
    if (byte == kPacketAccepted) {
        Log("rx 0xD2 (data packet accepted)");
        sendOffset += current.frameLength - 1;
        sendings = 0;
        if (sendOffset >= current.toHost.size()) {
            ScheduleCompletion();
            return;
        }
    } else {
        Log("rx 0xE3 (send the data packet again)");
        if (sendings >= cam.m_timing.sendingsPerPacket) {
            Log("data packet sent " + std::to_string(sendings) + " times: command given up");
            Finish();
            return;
        }
    }
    phase = ExchangePhase::Working;
    Later(AnswerDelayUs(), [this] { SendDataPacket(); });
}

void VirtualCamera::Impl::OnResendTimeout() {
    if (sendings >= cam.m_timing.sendingsPerPacket) {
        Log("no answer to the data packet, sent " + std::to_string(sendings) +
            " times: command given up");
        Finish();
        return;
    }
    Log("no answer to the data packet");
    SendDataPacket();
}

// Every received byte moves the end of the frame wait on. The timer is not re-armed per byte:
// when it fires early it waits for the rest of the moved-on time.
void VirtualCamera::Impl::ArmFrameWait() {
    frameWaitUntilUs = line.NowUs() + cam.m_timing.hostFrameWaitUs;
    if (waitIsFrameWait && timers.count(waitTimer) != 0) {
        return;
    }
    CancelTimer(waitTimer);
    ScheduleFrameWait(cam.m_timing.hostFrameWaitUs);
}

void VirtualCamera::Impl::ScheduleFrameWait(uint64_t delayUs) {
    waitIsFrameWait = true;
    waitTimer = Later(delayUs, [this] {
        const uint64_t now = line.NowUs();
        if (now < frameWaitUntilUs) {
            ScheduleFrameWait(frameWaitUntilUs - now);
            return;
        }
        Log("no data frame from the host: command given up");
        Finish();
    });
}

void VirtualCamera::Impl::OnFrameByte(uint8_t byte, uint64_t gapUs) {
    if (!frame.empty() && gapUs > cam.m_timing.interByteGapUs) {
        Log("partial data frame of " + std::to_string(frame.size()) + " bytes dropped");
        frame.clear();
    }
    frame.push_back(byte);
    ArmFrameWait();
    if (frame.size() == current.frameLength) {
        OnFrame();
        return;
    }
    // A host that has given the data phase up sends its next command packet; it shows as 8 bytes
    // that look like a packet followed by a pause, which a data frame never has.
    if (frame.size() == kCommandPacketSize && frame[6] == 0 && frame[7] == kPacketEnd) {
        Later(cam.m_timing.interByteGapUs + 1, [this, seen = frame] {
            if (phase != ExchangePhase::ReceiveFrames || frame != seen) {
                return;
            }
            CommandPacket packet{};
            std::copy(seen.begin(), seen.end(), packet.begin());
            Log("command packet in place of a data frame: data phase given up");
            Abandon();
            OnPacket(packet);
        });
    }
}

void VirtualCamera::Impl::OnFrame() {
    CancelTimer(waitTimer);
    const bool plain = current.data == CommandPlan::Data::FromHostPlain;
    const uint8_t control = plain ? kLastFrame : frame.front();
    const auto first = frame.begin() + (plain ? 0 : 1);
    std::vector<uint8_t> payload(first, frame.end() - 1);
    const bool xorGood = XorOf(payload.data(), payload.size()) == frame.back();
    frame.clear();

    CameraFaults& f = cam.m_faults;
    bool accept = xorGood;
    if (accept && f.refuseDataPackets > 0) {
        --f.refuseDataPackets;
        accept = false;
    }
    if (logger) {
        Log("rx data frame (" + std::to_string(current.frameLength) + " bytes" +
            (plain ? "" : ", control " + HexByte(control)) + ", XOR " + (xorGood ? "good" : "bad") +
            ")");
    }

    phase = ExchangePhase::Working;
    Later(AnswerDelayUs(), [this, accept, xorGood, control, payload = std::move(payload)] {
        if (!accept) {
            SendByte(kPacketAgain);
            Log(std::string("tx 0xE3 (send it again)") + (xorGood ? " (fault)" : ""));
            phase = ExchangePhase::ReceiveFrames;
            ArmFrameWait();
            return;
        }
        SendByte(kPacketAccepted);
        Log("tx 0xD2 (data frame accepted)");
        received.insert(received.end(), payload.begin(), payload.end());
        if (control != kLastFrame) {
            phase = ExchangePhase::ReceiveFrames;
            ArmFrameWait();
            return;
        }
        if (current.onData) {
            current.onData(received);
        }
        ScheduleCompletion();
    });
}

void VirtualCamera::Impl::ScheduleCompletion() {
    phase = ExchangePhase::Working;
    const uint64_t workUs = current.slow ? cam.m_timing.slowCommandUs : cam.m_timing.answerUs;
    Later(workUs + cam.m_faults.stallUs, [this] {
        const CameraFaults& f = cam.m_faults;
        if (Matches(f.noCompletionOpcode, opcode)) {
            Log("no completion byte (fault)");
            Finish();
            return;
        }
        const uint8_t completion = Matches(f.completionByteOpcode, opcode) ? f.completionByte : 0;
        SendByte(completion);
        Log("tx completion " + HexByte(completion));
        auto completed = std::move(current.onCompleted);
        Finish();
        if (completed && completion == 0) {
            completed();
        }
    });
}

void VirtualCamera::Impl::Finish() {
    CancelTimer(waitTimer);
    phase = ExchangePhase::Idle;
    current = CommandPlan{};
    opcode = -1;
    frame.clear();
    received.clear();
    window.clear();
}

}  // namespace sim

// Command packet assembly with resynchronisation, the greeting, and the start of a command.
#include <algorithm>
#include <string>

#include "sim/camera_impl.hpp"

namespace sim {

namespace {

int OpcodeOf(const CommandPacket& p) {
    return p[0];
}

bool Matches(int faultOpcode, int opcode) {
    return faultOpcode == kAnyOpcode || faultOpcode == opcode;
}

}  // namespace

// Adds a byte to the window of the last 12 bytes. A pause longer than the inter-byte gap drops
// what was collected; older bytes slide out.
void VirtualCamera::Impl::PushToWindow(uint8_t byte, uint64_t gapUs) {
    if (gapUs > cam.m_timing.interByteGapUs) {
        window.clear();
    }
    window.push_back(byte);
    if (window.size() > kGreeting.size()) {
        window.erase(window.begin());
    }
}

// Collects bytes towards a command packet: 8 bytes whose byte 6 is 0 and byte 7 is 0x1A.
bool VirtualCamera::Impl::CollectPacket(uint8_t byte, uint64_t gapUs, CommandPacket* packet) {
    PushToWindow(byte, gapUs);
    const size_t n = window.size();
    if (byte != kPacketEnd || n < packet->size() || window[n - 2] != 0) {
        return false;
    }
    std::copy(window.end() - static_cast<std::ptrdiff_t>(packet->size()), window.end(),
              packet->begin());
    window.clear();
    return true;
}

bool VirtualCamera::Impl::WindowHoldsGreeting() const {
    return window.size() == kGreeting.size() &&
           std::equal(window.begin(), window.end(), kGreeting.begin());
}

void VirtualCamera::Impl::OnIdleByte(uint8_t byte, uint64_t gapUs) {
    if (awaitingGreetingAccept) {
        OnGreetingAcceptByte(byte, gapUs);
        return;
    }
    CommandPacket packet{};
    if (CollectPacket(byte, gapUs, &packet)) {
        OnPacket(packet);
        return;
    }
    if (WindowHoldsGreeting()) {
        window.clear();
        OnGreeting();
    }
}

// The camera waits for the host's 0xD1 after its greeting answer; until then it hears only 0xD1
// or a new greeting.
void VirtualCamera::Impl::OnGreetingAcceptByte(uint8_t byte, uint64_t gapUs) {
    if (byte == kAccept) {
        awaitingGreetingAccept = false;
        window.clear();
        Log("rx 0xD1: host accepted the greeting answer");
        return;
    }
    if (!greetingAcceptMissed) {
        greetingAcceptMissed = true;
        ProtocolError("expected 0xD1 after the greeting answer, got " + HexByte(byte) +
                      ": only 0xD1 or a greeting is heard until then");
    }
    PushToWindow(byte, gapUs);
    if (WindowHoldsGreeting()) {
        window.clear();
        awaitingGreetingAccept = false;
        greetingAcceptMissed = false;
        OnGreeting();
    }
}

void VirtualCamera::Impl::OnGreeting() {
    ++cam.m_greetings;
    if (cam.m_state.mode != CameraMode::Download) {
        Log("rx greeting (normal mode: not answered)");
        return;
    }
    Log("rx greeting");
    phase = ExchangePhase::Working;
    Later(AnswerDelayUs(), [this] {
        const CameraFaults& f = cam.m_faults;
        std::vector<uint8_t> answer(kGreetingAnswer.begin(), kGreetingAnswer.end());
        if (f.greetingWrongByte >= 0 && static_cast<size_t>(f.greetingWrongByte) < answer.size()) {
            answer[static_cast<size_t>(f.greetingWrongByte)] ^= 0x20;
        }
        const size_t cut =
            std::min(answer.size(), static_cast<size_t>(std::max(0, f.greetingShortBy)));
        answer.resize(answer.size() - cut);
        Send(answer);
        Log("tx greeting answer \"" + std::string(answer.begin(), answer.end()) + "\"");
        phase = ExchangePhase::Idle;
        window.clear();
        // A host takes only a whole, right answer with its 0xD1.
        awaitingGreetingAccept = std::equal(answer.begin(), answer.end(), kGreetingAnswer.begin(),
                                            kGreetingAnswer.end());
        greetingAcceptMissed = false;
    });
}

void VirtualCamera::Impl::OnPacket(const CommandPacket& packet) {
    const CameraFaults& f = cam.m_faults;
    if (Silent()) {
        return;
    }
    silentCounter.Next(f.silentAfterCommands);
    cam.m_commands.push_back({line.NowUs(), packet});
    if (logger) {
        Log("rx command " + DescribePacket(packet, cam.m_state.mode));
    }

    opcode = OpcodeOf(packet);
    current = cam.m_state.mode == CameraMode::Normal ? PlanNormal(packet) : PlanDownload(packet);
    if (Matches(f.refuseOpcode, opcode)) {
        current = CommandPlan::Refused();
    } else if (Matches(f.answer10Opcode, opcode)) {
        current = CommandPlan{};
        current.ack = kInsteadOfAck;
    }
    phase = ExchangePhase::Working;
    Later(AnswerDelayUs(), [this] { SendAck(); });
}

}  // namespace sim

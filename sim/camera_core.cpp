// The virtual camera's frame: construction, timers, line access and the entry points that the
// line drives (bytes and breaks).
#include <algorithm>
#include <string>

#include "sim/camera_impl.hpp"

namespace sim {

VirtualCamera::VirtualCamera(ICameraLine& line)
    : m_line(line), m_impl(std::make_unique<Impl>(*this)) {}

VirtualCamera::~VirtualCamera() {
    m_impl->CancelAllTimers();
}

void VirtualCamera::SetLogger(std::function<void(uint64_t, const std::string&)> logger) {
    m_impl->logger = std::move(logger);
}

std::vector<uint8_t> VirtualCamera::Image() const {
    std::vector<uint8_t> image(kCameraImageBytes, 0);
    for (const auto& block : m_blocks) {
        const size_t offset = static_cast<size_t>(block.index) * block.data.size();
        if (offset + block.data.size() <= image.size()) {
            std::copy(block.data.begin(), block.data.end(), image.begin() + offset);
        }
    }
    return image;
}

void VirtualCamera::OnByte(uint8_t byte) {
    Impl& in = *m_impl;
    if (in.Silent() || in.breakOn || in.LoaderStarting("a byte")) {
        return;
    }
    if (m_faults.deafAtBaud != 0 && m_line.BaudRate() == m_faults.deafAtBaud) {
        return;
    }
    const uint64_t now = m_line.NowUs();
    uint64_t gap = UINT64_MAX;
    if (in.heardByte) {
        gap = now > in.lastByteUs ? now - in.lastByteUs : 0;
    }
    in.heardByte = true;
    in.lastByteUs = now;

    switch (in.phase) {
        case ExchangePhase::Idle:
            in.OnIdleByte(byte, gap);
            break;
        case ExchangePhase::AwaitAnswer:
            if (byte == kPacketAccepted || byte == kPacketAgain) {
                in.OnHostAnswer(byte);
                break;
            }
            [[fallthrough]];
        case ExchangePhase::Working: {
            // The host does not send while it waits for the camera, except when it has given
            // the exchange up: a new command packet ends the old exchange.
            CommandPacket packet{};
            if (in.CollectPacket(byte, gap, &packet)) {
                in.Log("exchange abandoned for a new command");
                in.Abandon();
                in.OnPacket(packet);
            }
            break;
        }
        case ExchangePhase::ReceiveFrames:
            in.OnFrameByte(byte, gap);
            break;
    }
}

void VirtualCamera::OnBreak(bool on) {
    Impl& in = *m_impl;
    if (in.Silent() || in.LoaderStarting("a break")) {
        return;
    }
    const uint64_t now = m_line.NowUs();
    if (on) {
        in.breakOn = true;
        in.breakStartUs = now;
        return;
    }
    if (!in.breakOn) {
        return;
    }
    in.breakOn = false;
    const uint64_t heldUs = now - in.breakStartUs;
    if (heldUs < m_timing.minBreakUs) {
        in.Log("break of " + std::to_string(heldUs / 1000) + " ms ignored (too short)");
        return;
    }
    ++m_breaks;
    if (m_faults.ignoreBreak) {
        in.Log("break of " + std::to_string(heldUs / 1000) + " ms ignored (fault)");
        return;
    }
    in.Log("break of " + std::to_string(heldUs / 1000) + " ms");
    in.Abandon();
    in.heardByte = false;
    in.SetSpeed(9600);
}

void VirtualCamera::Impl::Log(const std::string& text) {
    if (logger) {
        logger(line.NowUs(), text);
    }
}

uint64_t VirtualCamera::Impl::Later(uint64_t delayUs, std::function<void()> fn) {
    const uint64_t key = nextTimerKey++;
    const uint64_t myEpoch = epoch;
    timers[key] = line.After(delayUs, [this, key, myEpoch, fn = std::move(fn)] {
        timers.erase(key);
        if (myEpoch == epoch) {
            fn();
        }
    });
    return key;
}

void VirtualCamera::Impl::CancelTimer(uint64_t key) {
    const auto it = timers.find(key);
    if (it != timers.end()) {
        line.CancelTimer(it->second);
        timers.erase(it);
    }
}

void VirtualCamera::Impl::CancelAllTimers() {
    for (const auto& [key, id] : timers) {
        line.CancelTimer(id);
    }
    timers.clear();
}

void VirtualCamera::Impl::Abandon() {
    ++epoch;
    CancelAllTimers();
    phase = ExchangePhase::Idle;
    current = CommandPlan{};
    opcode = -1;
    window.clear();
    frame.clear();
    received.clear();
    awaitingGreetingAccept = false;
    greetingAcceptMissed = false;
}

void VirtualCamera::Impl::WhenOutputDrained(std::function<void()> fn) {
    if (line.PendingOutput() == 0) {
        fn();
        return;
    }
    const uint64_t pollUs = std::max<uint64_t>(ByteTimeUs(line.BaudRate()), 1);
    Later(pollUs, [this, fn = std::move(fn)]() mutable { WhenOutputDrained(std::move(fn)); });
}

uint64_t VirtualCamera::Impl::AnswerDelayUs() const {
    return cam.m_timing.answerUs + cam.m_faults.stallUs;
}

bool VirtualCamera::Impl::Silent() {
    const CameraFaults& f = cam.m_faults;
    if (f.unplugged) {
        return true;
    }
    // A command that was still answered runs to its end.
    return phase == ExchangePhase::Idle && f.silentAfterCommands >= 0 &&
           silentCounter.Peek(f.silentAfterCommands) >= f.silentAfterCommands;
}

void VirtualCamera::Impl::Send(const std::vector<uint8_t>& bytes) {
    line.Send(bytes.data(), bytes.size());
}

void VirtualCamera::Impl::SendByte(uint8_t byte) {
    line.Send(&byte, 1);
}

void VirtualCamera::Impl::ProtocolError(const std::string& text) {
    cam.m_protocolErrors.push_back(text);
    Log("protocol error: " + text);
}

bool VirtualCamera::Impl::LoaderStarting(const char* what) {
    if (line.NowUs() >= loaderReadyAtUs) {
        return false;
    }
    if (!loaderStartDisturbed) {
        loaderStartDisturbed = true;
        ProtocolError(std::string(what) + " while the loader starts: not heard");
    }
    return true;
}

void VirtualCamera::Impl::SetSpeed(uint32_t baud) {
    line.SetBaudRate(baud);
    Log("line speed " + std::to_string(baud) + " bit/s");
}

}  // namespace sim

// A scripted camera end for testing the virtual camera alone: the test plays the host, writing
// bytes and breaks at chosen virtual times and reading what the camera sent, with arrival times.
#pragma once

#include <algorithm>
#include <array>
#include <cstdint>
#include <initializer_list>
#include <vector>

#include "sim/camera_sim.hpp"
#include "sim/sim.hpp"

namespace camtest {

struct SentByte {
    uint8_t byte = 0;
    uint64_t doneUs = 0;  // when its last bit left the camera
    uint32_t baud = 0;
};

class ScriptedLine final : public sim::ICameraLine {
  public:
    explicit ScriptedLine(sim::VirtualClock& clock) : m_clock(clock) {}

    uint64_t NowUs() override { return m_clock.NowUs(); }
    void Send(const uint8_t* data, size_t n) override {
        for (size_t i = 0; i < n; ++i) {
            const uint64_t start = std::max(m_clock.NowUs(), m_lineFreeUs);
            m_lineFreeUs = start + sim::ByteTimeUs(m_baud);
            sent.push_back({data[i], m_lineFreeUs, m_baud});
            m_clock.At(m_lineFreeUs, [] {});  // lets a reader stop when the byte has arrived
        }
    }
    size_t PendingOutput() override {
        return static_cast<size_t>(
            std::count_if(sent.begin(), sent.end(),
                          [this](const SentByte& b) { return b.doneUs > m_clock.NowUs(); }));
    }
    void SetBaudRate(uint32_t baud) override {
        m_baud = baud;
        baudChanges.push_back({m_clock.NowUs(), baud});
    }
    uint32_t BaudRate() override { return m_baud; }
    TimerId After(uint64_t delayUs, std::function<void()> fn) override {
        return m_clock.After(delayUs, std::move(fn));
    }
    void CancelTimer(TimerId id) override { m_clock.Cancel(id); }

    std::vector<SentByte> sent;
    std::vector<std::pair<uint64_t, uint32_t>> baudChanges;

  private:
    sim::VirtualClock& m_clock;
    uint32_t m_baud = 9600;
    uint64_t m_lineFreeUs = 0;
};

// The host side of the script.
class CameraBench {
  public:
    CameraBench() : line(clock), camera(line) {}

    // Writes bytes to the camera, one byte time apart at the camera's current speed.
    void Write(std::initializer_list<uint8_t> bytes) { Write(std::vector<uint8_t>(bytes)); }
    void Write(const std::vector<uint8_t>& bytes) {
        const uint64_t byteUs = sim::ByteTimeUs(line.BaudRate());
        uint64_t at = clock.NowUs();
        for (const uint8_t b : bytes) {
            at += byteUs;
            clock.At(at, [this, b] { camera.OnByte(b); });
        }
        clock.RunUntilUs(at);
    }
    void Command(uint8_t opcode, uint8_t b1 = 0, uint8_t b2 = 0, uint8_t b3 = 0, uint8_t b4 = 0,
                 uint8_t b5 = 0) {
        Write({opcode, b1, b2, b3, b4, b5, 0, 0x1A});
    }
    void Break(uint64_t heldUs) {
        camera.OnBreak(true);
        clock.RunUntilUs(clock.NowUs() + heldUs);
        camera.OnBreak(false);
    }
    void RunUs(uint64_t us) { clock.RunUntilUs(clock.NowUs() + us); }
    void RunMs(uint64_t ms) { RunUs(ms * 1000); }

    // Bytes the camera has finished sending since the last call.
    std::vector<uint8_t> Take() {
        std::vector<uint8_t> out;
        while (m_taken < line.sent.size() && line.sent[m_taken].doneUs <= clock.NowUs()) {
            out.push_back(line.sent[m_taken++].byte);
        }
        return out;
    }
    // Runs until `n` more bytes have arrived or `limitMs` has passed; returns what arrived.
    std::vector<uint8_t> Read(size_t n, uint64_t limitMs = 3000) {
        const uint64_t end = clock.NowUs() + limitMs * 1000;
        std::vector<uint8_t> out;
        while (out.size() < n) {
            const auto more = Take();
            out.insert(out.end(), more.begin(), more.end());
            if (out.size() >= n || (!clock.Step(end) && clock.NowUs() >= end)) {
                break;
            }
        }
        const auto rest = Take();
        out.insert(out.end(), rest.begin(), rest.end());
        return out;
    }
    // Time at which the camera finished sending the last byte it has sent.
    uint64_t LastSentDoneUs() const { return line.sent.empty() ? 0 : line.sent.back().doneUs; }

    sim::VirtualClock clock;
    ScriptedLine line;
    sim::VirtualCamera camera;

  private:
    size_t m_taken = 0;
};

inline uint8_t Xor(const std::vector<uint8_t>& bytes, size_t from, size_t to) {
    uint8_t x = 0;
    for (size_t i = from; i < to; ++i) {
        x = static_cast<uint8_t>(x ^ bytes[i]);
    }
    return x;
}

// A host data frame: control byte, payload zero-padded to `payloadSize`, XOR over the payload.
inline std::vector<uint8_t> HostFrame(uint8_t control, std::vector<uint8_t> payload,
                                      size_t payloadSize) {
    payload.resize(payloadSize, 0);
    std::vector<uint8_t> frame;
    frame.reserve(payloadSize + 2);
    frame.push_back(control);
    frame.insert(frame.end(), payload.begin(), payload.end());
    frame.push_back(Xor(payload, 0, payload.size()));
    return frame;
}

}  // namespace camtest

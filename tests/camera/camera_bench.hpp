// A camera link on a virtual line in virtual time, with the virtual camera or a scripted peer at
// the other end, and what the tests need to observe both ends.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <deque>
#include <functional>
#include <string>
#include <vector>

#include "camera/camera.hpp"
#include "sim/camera_sim.hpp"
#include "sim/sim.hpp"

namespace camtest {

// The protocol object with its fields open to the tests.
class TestLink : public CCameraProtocol {
  public:
    using CCameraProtocol::CCameraProtocol;
    using CCameraProtocol::m_camera;
    using CCameraProtocol::m_command;
    using CCameraProtocol::m_commandTries;
    using CCameraProtocol::m_info;
    using CCameraProtocol::m_lastReceive;
    using CCameraProtocol::m_linkSpeed;
    using CCameraProtocol::m_packetSize;
    using CCameraProtocol::m_portSpeed;
    using CCameraProtocol::m_preferredSpeed;
    using CCameraProtocol::m_recvLen;
    using CCameraProtocol::m_status;
    using CCameraProtocol::m_statusBlock;
};

// A peer that answers from a script: each step waits for a number of bytes from the host, then
// sends its reply. It records every byte and break it sees.
class ScriptedPeer final : public sim::ICameraReceiver {
  public:
    struct Step {
        size_t hostBytes;
        std::vector<uint8_t> reply;
        uint64_t delayUs = 1000;
    };

    explicit ScriptedPeer(sim::ICameraLine& line) : m_line(line) {}

    void Expect(size_t hostBytes, std::vector<uint8_t> reply, uint64_t delayUs = 1000) {
        m_script.push_back({hostBytes, std::move(reply), delayUs});
    }
    // Sends `bytes` at `delayUs` from now, whatever the host does.
    void SendLater(uint64_t delayUs, std::vector<uint8_t> bytes) {
        m_line.After(delayUs, [this, b = std::move(bytes)] { m_line.Send(b.data(), b.size()); });
    }

    void OnByte(uint8_t byte) override {
        received.push_back(byte);
        receivedAtUs.push_back(m_line.NowUs());
        if (m_script.empty()) {
            return;
        }
        if (++m_count < m_script.front().hostBytes) {
            return;
        }
        Step step = std::move(m_script.front());
        m_script.pop_front();
        m_count = 0;
        if (!step.reply.empty()) {
            SendLater(step.delayUs, std::move(step.reply));
        }
    }
    void OnBreak(bool on) override {
        if (!on) {
            ++breaks;
        }
    }

    std::vector<uint8_t> received;
    std::vector<uint64_t> receivedAtUs;
    int breaks = 0;

  private:
    sim::ICameraLine& m_line;
    std::deque<Step> m_script;
    size_t m_count = 0;
};

// The clock, the line on COM1 and the link, with the virtual camera attached by default.
class Bench {
  public:
    Bench() : camera(line.CameraEnd()), peer(line.CameraEnd()) {
        line.AttachCamera(&camera);
        ports.Connect(1, &line);
        camera.SetLogger([this](uint64_t atUs, const std::string& text) {
            log.push_back(std::to_string(atUs / 1000) + " ms: " + text);
        });
    }
    ~Bench() { link.ClosePort(); }
    Bench(const Bench&) = delete;
    Bench& operator=(const Bench&) = delete;

    void UseScriptedPeer() { line.AttachCamera(&peer); }

    // Opens COM1 and lets the pacing time of the opening pass.
    void OpenPort() {
        ASSERT_EQ(link.OpenPort(1), kStatusOk);
        DelayMs(200);
    }
    // Puts the camera's end of the line at the rate the camera would use for a speed code.
    void PlaceCameraAt(uint32_t baud) { line.CameraEnd().SetBaudRate(baud); }

    uint32_t CameraBaud() { return line.CameraEnd().BaudRate(); }

    // Opcodes of the commands the camera received, in order.
    std::vector<int> Opcodes() const {
        std::vector<int> out;
        for (const auto& c : camera.Commands()) {
            out.push_back(c.packet[0]);
        }
        return out;
    }
    int CountLog(const std::string& part) const {
        int n = 0;
        for (const auto& line_ : log) {
            n += line_.find(part) != std::string::npos ? 1 : 0;
        }
        return n;
    }
    std::string Log() const {
        std::string all;
        for (const auto& l : log) {
            all += l + "\n";
        }
        return all;
    }

    sim::VirtualClock clock;
    ScopedClock scopedClock{clock};
    sim::VirtualLine line{clock};
    sim::VirtualCamera camera;
    ScriptedPeer peer;
    sim::VirtualPortSystem ports;
    TestLink link{ports};
    std::vector<std::string> log;
};

// The command packet the host sends for an opcode and parameter bytes 1-5.
inline std::vector<uint8_t> CommandPacket(uint8_t opcode, std::vector<uint8_t> params = {}) {
    std::vector<uint8_t> p(8, 0);
    p[0] = opcode;
    for (size_t i = 0; i < params.size() && i < 5; ++i) {
        p[1 + i] = params[i];
    }
    p[7] = 0x1A;
    return p;
}

// A data packet from the camera: the payload and its XOR byte (spoilt on request).
inline std::vector<uint8_t> DataPacket(const std::vector<uint8_t>& payload, bool badXor = false) {
    uint8_t x = 0;
    for (uint8_t b : payload) {
        x = static_cast<uint8_t>(x ^ b);
    }
    std::vector<uint8_t> out = payload;
    out.push_back(badXor ? static_cast<uint8_t>(x ^ 0x5A) : x);
    return out;
}

inline std::vector<uint8_t> Counting(size_t n, uint8_t first = 1) {
    std::vector<uint8_t> out(n);
    for (size_t i = 0; i < n; ++i) {
        out[i] = static_cast<uint8_t>(first + i);
    }
    return out;
}

}  // namespace camtest

// A host port on a virtual line in virtual time, with a small recording receiver at the far end.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
#include <vector>

#include "serial/serial.hpp"
#include "sim/sim.hpp"

namespace serial_test {

// Records what reaches the camera end, with the virtual time of each event.
class RecordingReceiver final : public sim::ICameraReceiver {
  public:
    struct Break {
        bool on;
        uint64_t atUs;
    };

    explicit RecordingReceiver(sim::ICameraLine& line) : m_line(line) {}

    void OnByte(uint8_t byte) override {
        bytes.push_back(byte);
        byteTimesUs.push_back(m_line.NowUs());
        if (onByte) {
            onByte(byte);
        }
    }
    void OnBreak(bool on) override { breaks.push_back({on, m_line.NowUs()}); }

    std::vector<uint8_t> bytes;
    std::vector<uint64_t> byteTimesUs;
    std::vector<Break> breaks;
    std::function<void(uint8_t)> onByte;

  private:
    sim::ICameraLine& m_line;
};

// CSerialPort with its fields in reach of the tests.
class TestPort : public CSerialPort {
  public:
    using CSerialPort::CSerialPort;
    using CSerialPort::m_commandTries;
    using CSerialPort::m_hPort;
    using CSerialPort::m_lastReceive;
    using CSerialPort::m_portSpeed;
    using CSerialPort::m_recvBuf;
    using CSerialPort::m_recvLen;
    using CSerialPort::m_sendBuf;
    using CSerialPort::m_sendLen;
    using CSerialPort::ReadPortKeepingPending;
    using CSerialPort::WaitInput;
};

class LineTest : public ::testing::Test {
  protected:
    LineTest() : useClock(clock), line(clock), receiver(line.CameraEnd()), port(ports) {
        line.AttachCamera(&receiver);
        ports.Connect(1, &line);
    }

    ~LineTest() override {
        if (port.IsPortOpen()) {
            port.ClosePort();
        }
    }

    sim::ICameraLine& camera() { return line.CameraEnd(); }

    // Opens COM1 and checks that it worked.
    void Open() { ASSERT_EQ(port.OpenPort(1), kStatusOk); }

    // The camera sends `bytes` starting at virtual millisecond `atMs`.
    void CameraSendsAt(uint32_t atMs, std::vector<uint8_t> bytes) {
        clock.At(uint64_t{atMs} * 1000,
                 [this, data = std::move(bytes)] { camera().Send(data.data(), data.size()); });
    }

    // The camera sends one byte at each of the given virtual milliseconds.
    void CameraSendsOneByteAt(const std::vector<uint32_t>& timesMs) {
        for (uint32_t atMs : timesMs) {
            CameraSendsAt(atMs, {static_cast<uint8_t>(atMs)});
        }
    }

    sim::VirtualClock clock;
    ScopedClock useClock;
    sim::VirtualLine line;
    RecordingReceiver receiver;
    sim::VirtualPortSystem ports;
    TestPort port;
};

}  // namespace serial_test

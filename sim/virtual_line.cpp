// A serial line in virtual time between the host's port driver and a camera end.
//
// Each direction has a sender-side output queue; bytes leave it one at a time, each occupying the
// wire for ByteTimeUs(sender's rate), and arrive when their line time ends. The host's input queue
// holds 2048 bytes; what arrives beyond that is lost. The camera end hands every byte straight to
// its receiver.
#include <deque>
#include <set>
#include <string>
#include <utility>

#include "sim/sim.hpp"

namespace sim {

namespace {

constexpr size_t kHostQueueSize = 2048;
constexpr uint64_t kBitsPerByte = 10;

}  // namespace

uint64_t ByteTimeUs(uint32_t baud) {
    const uint64_t rate = baud == 0 ? 1 : baud;
    return (kBitsPerByte * 1'000'000 + rate / 2) / rate;
}

bool SameLineSpeed(uint32_t a, uint32_t b) {
    const uint64_t high = a > b ? a : b;
    const uint64_t low = a > b ? b : a;
    return (high - low) * 100 < 3 * high;
}

std::optional<uint8_t> MisreadByte(uint8_t byte, uint32_t senderBaud, uint32_t receiverBaud) {
    const uint64_t s = senderBaud == 0 ? 1 : senderBaud;
    const uint64_t r = receiverBaud == 0 ? 1 : receiverBaud;
    // Line level at the receiver's half-bit `halves` after the falling edge of the start bit:
    // sender bit 0 is the start bit, 1 to 8 the data bits (least significant first), then the
    // stop bit and an idle line.
    auto levelAt = [&](uint64_t halves) {
        const uint64_t bit = halves * s / (2 * r);
        if (bit == 0) {
            return 0;
        }
        if (bit <= 8) {
            return (byte >> (bit - 1)) & 1;
        }
        return 1;
    };
    if (levelAt(1) != 0) {
        return std::nullopt;  // the start bit is gone by its middle: no byte
    }
    uint8_t value = 0;
    for (uint64_t j = 1; j <= 8; ++j) {
        if (levelAt(2 * j + 1) != 0) {
            value = static_cast<uint8_t>(value | (1u << (j - 1)));
        }
    }
    if (levelAt(19) == 0) {
        return std::nullopt;  // framing error
    }
    // Just past the tolerance the centres can still land on the right bits; the last one then
    // sits at an edge and is read wrong.
    if (value == byte) {
        value = static_cast<uint8_t>(value ^ 0x80);
    }
    return value;
}

namespace {

// One direction of the line.
struct Channel {
    std::deque<uint8_t> queue;  // not yet on the wire
    bool onWire = false;        // a byte is being sent
    VirtualClock::EventId wireEvent = 0;
    uint64_t receiverBusyUntilUs = 0;  // a mismatched receiver still reading a frame

    size_t Pending() const { return queue.size() + (onWire ? 1 : 0); }
};

class HostEnd;

}  // namespace

struct VirtualLine::Impl final : ICameraLine {
    explicit Impl(VirtualClock& c) : clock(c) {}

    VirtualClock& clock;
    ICameraReceiver* receiver = nullptr;
    HostEnd* host = nullptr;
    LineSettings hostSettings;
    uint32_t cameraBaud = 9600;
    bool breakOn = false;
    std::deque<uint8_t> hostInput;
    Channel toCamera;
    Channel toHost;
    std::set<TimerId> cameraTimers;

    uint32_t SenderBaud(const Channel& channel) const {
        return &channel == &toCamera ? hostSettings.baudRate : cameraBaud;
    }
    uint32_t ReceiverBaud(const Channel& channel) const {
        return &channel == &toCamera ? cameraBaud : hostSettings.baudRate;
    }

    void StartNext(Channel& channel) {
        if (channel.onWire || channel.queue.empty() || (&channel == &toCamera && breakOn)) {
            return;
        }
        const uint8_t byte = channel.queue.front();
        channel.queue.pop_front();
        const uint32_t baud = SenderBaud(channel);
        const uint64_t startUs = clock.NowUs();
        channel.onWire = true;
        channel.wireEvent = clock.After(ByteTimeUs(baud), [this, &channel, byte, baud, startUs] {
            channel.onWire = false;
            channel.wireEvent = 0;
            Arrive(channel, byte, baud, startUs);
            StartNext(channel);
        });
    }

    void Arrive(Channel& channel, uint8_t byte, uint32_t senderBaud, uint64_t startUs) {
        const uint32_t receiverBaud = ReceiverBaud(channel);
        std::optional<uint8_t> received = byte;
        if (!SameLineSpeed(senderBaud, receiverBaud)) {
            if (startUs < channel.receiverBusyUntilUs) {
                return;  // the receiver is still inside a frame it misread
            }
            channel.receiverBusyUntilUs = startUs + ByteTimeUs(receiverBaud);
            received = MisreadByte(byte, senderBaud, receiverBaud);
        }
        if (!received) {
            return;
        }
        if (&channel == &toCamera) {
            if (receiver != nullptr) {
                receiver->OnByte(*received);
            }
        } else if (host != nullptr && hostInput.size() < kHostQueueSize) {
            hostInput.push_back(*received);
        }
    }

    void SetHostBreak(bool on) {
        if (on == breakOn) {
            return;
        }
        breakOn = on;
        if (on) {
            // The break overrides the byte being sent.
            if (toCamera.onWire) {
                clock.Cancel(toCamera.wireEvent);
                toCamera.onWire = false;
                toCamera.wireEvent = 0;
            }
            if (receiver != nullptr) {
                receiver->OnBreak(true);
            }
        } else {
            if (receiver != nullptr) {
                receiver->OnBreak(false);
            }
            StartNext(toCamera);
        }
    }

    // ICameraLine
    uint64_t NowUs() override { return clock.NowUs(); }
    void Send(const uint8_t* data, size_t n) override {
        toHost.queue.insert(toHost.queue.end(), data, data + n);
        StartNext(toHost);
    }
    size_t PendingOutput() override { return toHost.Pending(); }
    void SetBaudRate(uint32_t baud) override { cameraBaud = baud; }
    uint32_t BaudRate() override { return cameraBaud; }
    TimerId After(uint64_t delayUs, std::function<void()> fn) override {
        auto id = std::make_shared<TimerId>(0);
        *id = clock.After(delayUs, [this, id, fn = std::move(fn)] {
            cameraTimers.erase(*id);
            fn();
        });
        cameraTimers.insert(*id);
        return *id;
    }
    void CancelTimer(TimerId id) override {
        clock.Cancel(id);
        cameraTimers.erase(id);
    }
};

namespace {

// The host's port driver on a virtual line.
class HostEnd final : public IPortDriver {
  public:
    HostEnd(VirtualLine::Impl* line, VirtualClock& clock) : m_line(line), m_clock(clock) {
        m_line->host = this;
    }

    ~HostEnd() override {
        if (m_line == nullptr) {
            return;
        }
        m_line->hostInput.clear();
        m_line->toCamera.queue.clear();
        m_line->SetHostBreak(false);
        m_line->host = nullptr;
    }

    HostEnd(const HostEnd&) = delete;
    HostEnd& operator=(const HostEnd&) = delete;

    // The line went away before the driver.
    void Detach() {
        m_line->host = nullptr;
        m_line = nullptr;
    }

    PortFailure LastFailure() const override {
        if (m_line != nullptr) {
            return {};
        }
        return PortFailure{PortProblem::DeviceGone, 0, "the virtual line is gone", {}};
    }

    bool SetupQueues(uint32_t, uint32_t) override { return m_line != nullptr; }

    bool ClearErrors(QueueCounts* counts) override {
        if (m_line == nullptr) {
            return false;
        }
        if (counts != nullptr) {
            counts->inQueue = static_cast<uint32_t>(m_line->hostInput.size());
            counts->outQueue = static_cast<uint32_t>(m_line->toCamera.Pending());
        }
        return true;
    }

    bool Purge(bool input, bool output) override {
        if (m_line == nullptr) {
            return false;
        }
        if (input) {
            m_line->hostInput.clear();
        }
        if (output) {
            m_line->toCamera.queue.clear();  // a byte already on the wire completes
        }
        return true;
    }

    bool SetBreak(bool on) override {
        if (m_line == nullptr) {
            return false;
        }
        m_line->SetHostBreak(on);
        return true;
    }

    bool GetSettings(LineSettings* settings) override {
        if (m_line == nullptr) {
            return false;
        }
        *settings = m_line->hostSettings;
        return true;
    }

    bool SetSettings(const LineSettings& settings) override {
        if (m_line == nullptr) {
            return false;
        }
        m_line->hostSettings = settings;
        return true;
    }

    bool Write(const uint8_t* data, uint32_t n) override {
        if (m_line == nullptr || m_line->toCamera.Pending() + n > kHostQueueSize) {
            return false;
        }
        m_line->toCamera.queue.insert(m_line->toCamera.queue.end(), data, data + n);
        m_line->StartNext(m_line->toCamera);
        return true;
    }

    bool Read(uint8_t* data, uint32_t n) override {
        if (m_line == nullptr || n > m_line->hostInput.size()) {
            return false;
        }
        for (uint32_t i = 0; i < n; ++i) {
            data[i] = m_line->hostInput.front();
            m_line->hostInput.pop_front();
        }
        return true;
    }

    // Moves virtual time to the next event or the deadline, whichever comes first.
    void WaitForChange(WaitFor, uint32_t deadlineMs) override {
        const auto ahead = static_cast<int32_t>(deadlineMs - m_clock.NowMs());
        const uint64_t nowUs = m_clock.NowUs();
        const uint64_t limitUs =
            ahead <= 0 ? nowUs : (nowUs / 1000 + static_cast<uint64_t>(ahead)) * 1000;
        m_clock.Step(limitUs);
    }

  private:
    VirtualLine::Impl* m_line;
    VirtualClock& m_clock;
};

}  // namespace

VirtualLine::VirtualLine(VirtualClock& clock) : m_impl(std::make_unique<Impl>(clock)) {}

VirtualLine::~VirtualLine() {
    if (m_impl->host != nullptr) {
        m_impl->host->Detach();
    }
    VirtualClock& clock = m_impl->clock;
    clock.Cancel(m_impl->toCamera.wireEvent);
    clock.Cancel(m_impl->toHost.wireEvent);
    for (ICameraLine::TimerId id : m_impl->cameraTimers) {
        clock.Cancel(id);
    }
}

ICameraLine& VirtualLine::CameraEnd() {
    return *m_impl;
}

void VirtualLine::AttachCamera(ICameraReceiver* receiver) {
    m_impl->receiver = receiver;
}

std::unique_ptr<IPortDriver> VirtualLine::OpenHostEnd() {
    if (m_impl->host != nullptr) {
        return nullptr;
    }
    return std::make_unique<HostEnd>(m_impl.get(), m_impl->clock);
}

bool VirtualLine::HostEndOpen() const {
    return m_impl->host != nullptr;
}

void VirtualLine::UnplugHostEnd() {
    if (m_impl->host != nullptr) {
        m_impl->hostInput.clear();
        m_impl->toCamera.queue.clear();
        m_impl->SetHostBreak(false);
        m_impl->host->Detach();
    }
}

uint32_t VirtualLine::HostBaudRate() const {
    return m_impl->hostSettings.baudRate;
}

bool VirtualLine::HostBreakOn() const {
    return m_impl->breakOn;
}

size_t VirtualLine::HostInputQueued() const {
    return m_impl->hostInput.size();
}

size_t VirtualLine::HostOutputQueued() const {
    return m_impl->toCamera.Pending();
}

void VirtualPortSystem::Connect(int portNumber, VirtualLine* line) {
    if (portNumber >= 1 && portNumber <= 4) {
        m_lines[portNumber] = line;
    }
}

void VirtualPortSystem::Describe(int portNumber, PortInfo info) {
    if (portNumber >= 1 && portNumber <= 4) {
        m_infos[portNumber] = std::move(info);
    }
}

void VirtualPortSystem::RefuseOpen(int portNumber, PortFailure failure) {
    if (portNumber >= 1 && portNumber <= 4) {
        m_refusals[portNumber] = std::move(failure);
    }
}

std::unique_ptr<IPortDriver> VirtualPortSystem::Open(const std::string& name,
                                                     PortFailure* failure) {
    const auto refuse = [failure](PortFailure why) -> std::unique_ptr<IPortDriver> {
        if (failure != nullptr) {
            *failure = std::move(why);
        }
        return nullptr;
    };
    const PortFailure absent{PortProblem::NoDevice, 0, "no device stands for " + name, {}};
    if (name.size() != 4 || name.compare(0, 3, "COM") != 0 || name[3] < '1' || name[3] > '4') {
        return refuse(absent);
    }
    const int portNumber = name[3] - '0';
    VirtualLine* line = m_lines[portNumber];
    if (m_refusals[portNumber].problem != PortProblem::None) {
        return refuse(m_refusals[portNumber]);
    }
    if (line == nullptr) {
        return refuse(absent);
    }
    std::unique_ptr<IPortDriver> driver = line->OpenHostEnd();
    if (driver == nullptr) {
        return refuse(PortFailure{PortProblem::InUse, 0, "the virtual line is open already", {}});
    }
    ++m_opens[portNumber];
    if (failure != nullptr) {
        *failure = PortFailure{PortProblem::None, 0, {}, m_holders[portNumber]};
    }
    return driver;
}

std::unique_ptr<IPortDriver> VirtualPortSystem::OpenToSearch(const std::string& name,
                                                             PortFailure* failure) {
    const bool named =
        name.size() == 4 && name.compare(0, 3, "COM") == 0 && name[3] >= '1' && name[3] <= '4';
    if (named && !m_holders[name[3] - '0'].empty()) {
        if (failure != nullptr) {
            *failure = PortFailure{PortProblem::InUse, 0, "held open by another program",
                                   m_holders[name[3] - '0']};
        }
        return nullptr;
    }
    return Open(name, failure);
}

void VirtualPortSystem::HoldElsewhere(int portNumber, std::string holder) {
    if (portNumber >= 1 && portNumber <= 4) {
        m_holders[portNumber] = std::move(holder);
    }
}

PortMap VirtualPortSystem::Ports() {
    PortMap map;
    for (int n = 1; n <= 4; ++n) {
        if (m_infos[n]) {
            map.com[static_cast<size_t>(n - 1)] = *m_infos[n];
        } else if (m_lines[n] != nullptr) {
            map.com[static_cast<size_t>(n - 1)].device = "virtual line " + std::to_string(n);
        }
    }
    return map;
}

int VirtualPortSystem::OpenCount(int portNumber) const {
    return portNumber >= 1 && portNumber <= 4 ? m_opens[portNumber] : 0;
}

}  // namespace sim

// The virtual world the camera link can run in: a virtual clock that advances only when someone
// waits, a virtual serial line with real driver behaviour at both ends, and the virtual camera.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "serial/serial.hpp"

namespace sim {

// ---------------------------------------------------------------------------------------------
// Virtual clock: discrete-event time in microseconds. A wait runs the scheduled events in time
// order up to its end, so a 2,000 ms time-out costs only the events inside it.
// ---------------------------------------------------------------------------------------------
class VirtualClock final : public IClock {
  public:
    using EventId = uint64_t;

    uint32_t NowMs() override { return static_cast<uint32_t>(m_nowUs / 1000); }
    void SleepUntilMs(uint32_t ms) override;

    uint64_t NowUs() const { return m_nowUs; }
    // Runs `fn` at absolute time `atUs` (not before now). Events at equal times run in the order
    // they were scheduled.
    EventId At(uint64_t atUs, std::function<void()> fn);
    EventId After(uint64_t delayUs, std::function<void()> fn) {
        return At(m_nowUs + delayUs, std::move(fn));
    }
    void Cancel(EventId id);
    // Time of the next pending event, or UINT64_MAX when none is pending.
    uint64_t NextEventUs() const;
    // Runs every event up to and including `us`, then sets the time to `us`.
    void RunUntilUs(uint64_t us);
    // Runs the events of the next pending instant only (if it is not after `limitUs`), else moves
    // the time to `limitUs`. Returns true when an event ran.
    bool Step(uint64_t limitUs);

  private:
    // Takes the first event off the queue, moves the time to it and runs it.
    void RunFirst();

    uint64_t m_nowUs = 0;
    EventId m_nextId = 1;
    std::map<std::pair<uint64_t, EventId>, std::function<void()>> m_events;
    std::map<EventId, uint64_t> m_eventTimes;  // pending events by id, for Cancel
};

// ---------------------------------------------------------------------------------------------
// What the camera sees of its end of a line, real-time or virtual.
// ---------------------------------------------------------------------------------------------
class ICameraLine {
  public:
    using TimerId = uint64_t;
    virtual ~ICameraLine() = default;
    virtual uint64_t NowUs() = 0;
    // Queues bytes for sending at the camera's current line speed.
    virtual void Send(const uint8_t* data, size_t n) = 0;
    // Bytes still waiting to go out from the camera's end.
    virtual size_t PendingOutput() = 0;
    virtual void SetBaudRate(uint32_t baud) = 0;
    virtual uint32_t BaudRate() = 0;
    virtual TimerId After(uint64_t delayUs, std::function<void()> fn) = 0;
    virtual void CancelTimer(TimerId id) = 0;
};

// What arrives at the camera's end of a line.
class ICameraReceiver {
  public:
    virtual ~ICameraReceiver() = default;
    virtual void OnByte(uint8_t byte) = 0;
    // A break condition started (on = true) or ended; the duration is known to the receiver.
    virtual void OnBreak(bool on) = 0;
};

// Time one byte (start bit, 8 data bits, stop bit) takes on the wire at `baud`, in microseconds.
uint64_t ByteTimeUs(uint32_t baud);

// True when a receiver at one rate reads a sender at the other correctly (less than 3 % apart).
bool SameLineSpeed(uint32_t a, uint32_t b);

// What a receiver at `receiverBaud` makes of `byte` sent at `senderBaud` when the two are not the
// same line speed: a wrong byte, or nothing (no start bit seen, or a framing error).
// Deterministic. Sampling follows a UART: start bit checked at its middle, data and stop bits
// sampled at the receiver's bit centres.
std::optional<uint8_t> MisreadByte(uint8_t byte, uint32_t senderBaud, uint32_t receiverBaud);

// ---------------------------------------------------------------------------------------------
// Virtual serial line between the host port (an IPortDriver) and a camera end.
// Each byte takes its line time at the sender's speed; a byte sent while the two ends' speeds
// differ arrives garbled or not at all; a break held by the host is seen by the camera end.
// ---------------------------------------------------------------------------------------------
class VirtualLine {
  public:
    explicit VirtualLine(VirtualClock& clock);
    ~VirtualLine();
    VirtualLine(const VirtualLine&) = delete;
    VirtualLine& operator=(const VirtualLine&) = delete;

    // The camera end. Attach the receiver before the host sends anything.
    ICameraLine& CameraEnd();
    void AttachCamera(ICameraReceiver* receiver);

    // A new host driver for this line (what IPortSystem::Open returns); one at a time.
    std::unique_ptr<IPortDriver> OpenHostEnd();
    bool HostEndOpen() const;
    // The host's adapter is pulled out: the open host driver fails from now on, as a device
    // that has gone does. The line can be opened again (plugged back in).
    void UnplugHostEnd();

    // Observations for tests.
    uint32_t HostBaudRate() const;
    bool HostBreakOn() const;
    size_t HostInputQueued() const;   // bytes received and not yet read by the host
    size_t HostOutputQueued() const;  // bytes the host wrote that are not yet fully sent

    struct Impl;

  private:
    std::unique_ptr<Impl> m_impl;
};

// A port system whose COM1..COM4 are virtual lines (or absent).
class VirtualPortSystem final : public IPortSystem {
  public:
    // portNumber 1..4; a port with no line is absent (Open fails).
    void Connect(int portNumber, VirtualLine* line);
    // What the port stands for in lists and messages (by default "virtual line N" when it has
    // a line, no device otherwise).
    void Describe(int portNumber, PortInfo info);
    // Opening the port fails for this reason until RefuseOpen is called with PortProblem::None.
    void RefuseOpen(int portNumber, PortFailure failure);
    // Another program ("agetty, process 612") holds the port's device open from now on (empty:
    // none): the search leaves the port alone, a chosen port opens and names it.
    void HoldElsewhere(int portNumber, std::string holder);
    std::unique_ptr<IPortDriver> Open(const std::string& name, PortFailure* failure) override;
    std::unique_ptr<IPortDriver> OpenToSearch(const std::string& name,
                                              PortFailure* failure) override;
    PortMap Ports() override;
    // How many times each port was opened successfully, for tests.
    int OpenCount(int portNumber) const;

  private:
    VirtualLine* m_lines[5] = {};
    int m_opens[5] = {};
    std::optional<PortInfo> m_infos[5];
    PortFailure m_refusals[5];
    std::string m_holders[5];
};

}  // namespace sim

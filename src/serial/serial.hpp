// Serial link layer: the millisecond clock, zero-filled blocks, the operating-system port seam and
// the port half of the camera link (open, purge, break, write, read, speed, close).
//
// Everything above this layer reaches the serial line and the clock only through this header.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

// ---------------------------------------------------------------------------------------------
// Status codes: the internal outcome of every step of a camera operation (0 = success).
// ---------------------------------------------------------------------------------------------
enum : uint32_t {
    kStatusOk = 0,
    kStatusBadArgument = 1,
    kStatusNoMemory = 2,
    kStatusRefused = 3,        // 0xE1 to a command, 0xE3 to the last sending, wrong greeting
    kStatusCameraFailed = 4,   // non-zero completion, 0xE2, list count mismatch
    kStatusXorFailed = 6,      // received data packet's XOR byte wrong on every try
    kStatusTimeout = 7,        // no answer, or a byte that is no acknowledgement
    kStatusPortFailed = 8,     // serial port failed, or recovery did not reach the camera
    kStatusCancelled = 10,     // stopped through the progress callback
    kStatusWrongState = 13,    // camera state byte not 2, or speed change not accepted
    kStatusUnexpected10 = 18,  // byte 0x10 where an acknowledgement was expected
};

// ---------------------------------------------------------------------------------------------
// Clock seam. NowMs() is an unsigned 32-bit millisecond count; comparisons are wrap-safe.
// ---------------------------------------------------------------------------------------------
class IClock {
  public:
    virtual ~IClock() = default;
    virtual uint32_t NowMs() = 0;
    // Blocks until NowMs() has reached `ms` (wrap-safe). Never spins a CPU core.
    virtual void SleepUntilMs(uint32_t ms) = 0;
};

// The monotonic clock of this process (milliseconds since the first use).
IClock& SystemClock();

// The clock that NowMs() and DelayMs() use: SystemClock() unless a ScopedClock is active.
IClock& CurrentClock();

// Installs another clock (a virtual one) for the lifetime of the object.
class ScopedClock {
  public:
    explicit ScopedClock(IClock& clock);
    ~ScopedClock();
    ScopedClock(const ScopedClock&) = delete;
    ScopedClock& operator=(const ScopedClock&) = delete;

  private:
    IClock* m_previous;
};

// True when `a` is at or after `b` on the wrapping 32-bit millisecond clock.
inline bool TimeReached(uint32_t a, uint32_t b) {
    return static_cast<int32_t>(a - b) >= 0;
}

uint32_t NowMs();
// Waits `ms` milliseconds on the current clock and returns the clock reading at the end.
uint32_t DelayMs(uint32_t ms);

// The calendar time now, UTC, to the millisecond ("2025-03-01 13:02:03.456 UTC"): the label that
// lets two logs of one run, each timed from its own start, be laid side by side.
std::string WallClockText();

// A block of n zero bytes, or null when memory cannot be had. FreeBlock(nullptr) does nothing.
void* AllocZeroed(size_t n);
void FreeBlock(void* p);

// ---------------------------------------------------------------------------------------------
// Operating-system port seam: the driver operations the port layer relies on.
// ---------------------------------------------------------------------------------------------
struct QueueCounts {
    uint32_t inQueue = 0;   // bytes waiting to be read
    uint32_t outQueue = 0;  // bytes not yet sent on the wire
};

// The line settings the port layer reads, changes and writes back. Fields it does not change
// (flow control, DTR/RTS, special characters) stay inside the driver.
struct LineSettings {
    uint32_t baudRate = 9600;
    bool binary = true;
    bool parityCheck = false;
    bool abortOnError = false;
    uint8_t byteSize = 8;
    uint8_t parity = 0;    // 0 none
    uint8_t stopBits = 0;  // 0 one stop bit
};

enum class WaitFor { Input, OutputDrained };

// One open port. Destroying it closes the port.
class IPortDriver {
  public:
    virtual ~IPortDriver() = default;
    virtual bool SetupQueues(uint32_t inBytes, uint32_t outBytes) = 0;
    // Clears pending line errors and reports the queue counts (counts may be null).
    virtual bool ClearErrors(QueueCounts* counts) = 0;
    virtual bool Purge(bool input, bool output) = 0;
    virtual bool SetBreak(bool on) = 0;
    virtual bool GetSettings(LineSettings* settings) = 0;
    virtual bool SetSettings(const LineSettings& settings) = 0;
    // Hands all n bytes to the driver; returns once the driver holds them.
    virtual bool Write(const uint8_t* data, uint32_t n) = 0;
    // Reads n bytes that are already queued; never blocks.
    virtual bool Read(uint8_t* data, uint32_t n) = 0;
    // Blocks until the awaited condition may have changed or the clock reaches deadlineMs.
    // May return early; callers re-check. Never spins a CPU core.
    virtual void WaitForChange(WaitFor what, uint32_t deadlineMs) = 0;
    // Told when a read or a write gave up at its deadline: the bytes it wanted (to read, or to
    // write) and how many were in the awaited queue at the end (arrived, or still unsent).
    // Nothing changes on the line; a driver that keeps no record ignores it.
    virtual void NoteTimeout(WaitFor /*what*/, uint32_t /*wanted*/, uint32_t /*queued*/) {}
};

// Opens ports by name ("COM1" ... "COM4").
class IPortSystem {
  public:
    virtual ~IPortSystem() = default;
    // The open port, or null when it is absent, busy, not permitted or cannot be set up.
    virtual std::unique_ptr<IPortDriver> Open(const std::string& name) = 0;
};

// POSIX serial devices over termios. COMn is the device in TK358FW_COMn when that is set,
// otherwise the n-th device found among USB serial adapters and on-board ports.
IPortSystem& PosixPortSystem();
// The device path COMn maps to on this machine, or empty when none (n = 1 to 4).
std::string PosixDeviceForPort(int portNumber);
// Makes COMn stand for `device` for the rest of the run, ahead of TK358FW_COMn and the devices
// found (n = 1 to 4; an empty device takes the override back).
void SetPosixDeviceForPort(int portNumber, const std::string& device);

// Port baud rate for a speed code (96, 192, 384, 576, 1152, 2304), 0 for other codes.
uint32_t BaudRateForSpeedCode(int speedCode);

// ---------------------------------------------------------------------------------------------
// The port half of the camera link.
// ---------------------------------------------------------------------------------------------
constexpr uint32_t kPortBufferSize = 2048;

class CSerialPort {
  public:
    explicit CSerialPort(IPortSystem& ports);
    // The owner closes the port first (ClosePort). A port still open is released without the
    // purge of ClosePort, so that it is free for the next opening and nothing leaks.
    virtual ~CSerialPort();
    CSerialPort(const CSerialPort&) = delete;
    CSerialPort& operator=(const CSerialPort&) = delete;

    uint32_t OpenPort(int portNumber);  // 0, 2 or 8
    void ClosePort();
    void PurgePort(int which);    // 0 output, 1 input, 2 both
    uint32_t SetBreak(int what);  // 0 start, 1 end (then 2,000 ms); 0, 1, 2 or 8
    // 0, 7 or 8; 1 when m_sendLen / m_recvLen exceeds kPortBufferSize.
    uint32_t WritePort(int timeoutMs);
    uint32_t ReadPort(int timeoutMs);
    uint32_t SetPortSpeed(int speedCode);  // 0, 1, 2 or 8
    // Bytes waiting in the input queue, after clearing line errors: 0, or 8 (closed or failed).
    uint32_t QueuedInput(uint32_t* count);

    bool IsPortOpen() const { return m_hPort != nullptr; }

  protected:
    // ReadPort in every respect (deadline, gap rule, m_recvLen = pending count, status 7) except
    // that on a time-out the pending bytes stay queued for the caller to read or purge.
    uint32_t ReadPortKeepingPending(int timeoutMs);
    // Blocks until input may have arrived or the clock reaches deadlineMs (returns at once when
    // it already has). Callers re-check the queue.
    void WaitInput(uint32_t deadlineMs);

    std::unique_ptr<IPortDriver> m_hPort;  // the open port; none while closed
    int16_t m_portSpeed = 96;
    uint8_t* m_sendBuf = nullptr;  // kPortBufferSize bytes while open
    uint16_t m_sendLen = 0;
    uint8_t* m_recvBuf = nullptr;  // kPortBufferSize bytes while open
    uint16_t m_recvLen = 0;
    int16_t m_commandTries = 3;
    uint32_t m_lastReceive;

  private:
    // The read loop shared by ReadPort and ReadPortKeepingPending.
    uint32_t ReadWithDeadline(int timeoutMs, bool discardPendingOnTimeout);

    IPortSystem& m_ports;
};

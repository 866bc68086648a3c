// Serial link layer: the millisecond clock, zero-filled blocks, the operating-system port seam and
// the port half of the camera link (open, purge, break, write, read, speed, close).
//
// Everything above this layer reaches the serial line and the clock only through this header.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <utility>
#include <vector>

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
    kStatusInsteadOfAck = 18,  // the camera sent 0x10 in place of an acknowledgement
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
// The earlier of two moments on the wrapping millisecond clock.
inline uint32_t Earlier(uint32_t a, uint32_t b) {
    return TimeReached(a, b) ? b : a;
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

// Owns a block from AllocZeroed and frees it with FreeBlock.
struct BlockDeleter {
    void operator()(uint8_t* block) const { FreeBlock(block); }
};
using ZeroedBlock = std::unique_ptr<uint8_t, BlockDeleter>;

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

// Why a port could not be opened, set up or used.
enum class PortProblem : uint8_t {
    None,
    NoDevice,          // no device stands behind the name, or it is not there
    PermissionDenied,  // this user may not use the device
    InUse,             // another program holds the device
    NotATerminal,      // the name leads to something that is no serial device
    SystemConsole,     // the device is the system console (kernel messages, a login)
    SetupFailed,       // the device opened but its line could not be set up
    DeviceGone,        // the device went away while it was open
    OutputStalled,     // a write was not taken or not sent within its allowance
    Failed,            // any other failure; the system's text says what
};

struct PortFailure {
    PortProblem problem = PortProblem::None;
    int systemError = 0;  // the operating system's error number; 0 when there is none
    std::string text;     // the operating system's words for it
    // What more the system can tell: for InUse the program holding the device ("minicom,
    // process 1234"), for PermissionDenied the group that may use it ("dialout"). After an
    // opening that succeeded (problem None): the other programs that hold the device open.
    std::string detail;
};

// One open port. Destroying it closes the port.
class IPortDriver {
  public:
    virtual ~IPortDriver() = default;
    // Why the port failed (after an operation returned false); PortProblem::None when it has not.
    virtual PortFailure LastFailure() const = 0;
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

// What a port name stands for during this run, for lists, dialogs and messages.
struct PortInfo {
    std::string device;       // "/dev/ttyUSB0"; empty when no device stands behind the name
    std::string description;  // "FTDI FT232R USB UART, serial A12345, USB 0403:6001"; may be empty
    std::string namedBy;      // what named the device ("TK358FW_COM1"); empty when it was found
};

// COM1 to COM4 and the other serial devices of this machine, as read once at the start.
struct PortMap {
    std::array<PortInfo, 4> com;     // COM1 to COM4
    std::vector<PortInfo> unmapped;  // devices found that no COMn stands for
    std::vector<PortInfo> skipped;   // devices never searched; the description says why
};

// Opens ports by name ("COM1" ... "COM4").
class IPortSystem {
  public:
    virtual ~IPortSystem() = default;
    // The open port, or null when it is absent, busy, not permitted or cannot be set up; then
    // *failure (when not null) says why. A port opened although another program holds the
    // device open leaves that program's name in failure->detail (problem None).
    virtual std::unique_ptr<IPortDriver> Open(const std::string& name, PortFailure* failure) = 0;
    // The same for the search of all ports: a device that another program holds open without
    // locking it (a login on a serial line, a modem daemon) is not opened but refused as InUse,
    // so that nothing is written to it. A port system whose devices no other program can hold
    // opens as Open does.
    virtual std::unique_ptr<IPortDriver> OpenToSearch(const std::string& name,
                                                      PortFailure* failure) {
        return Open(name, failure);
    }
    // What COM1 to COM4 stand for; the same for the whole life of the port system.
    virtual PortMap Ports() = 0;
};

// A device that stands for COMn, named by the program rather than found (index 0 is COM1);
// `namedBy` says what named it ("--port"). An empty device leaves the slot to the environment.
struct PortOverride {
    std::string device;
    std::string namedBy;
};
using PortOverrides = std::array<PortOverride, 4>;

// Takes the mapping of COM1 to COM4 on this machine once, without opening any device. COMn is
// the device the program names in `overrides`, else the one in TK358FW_COMn when that is set.
// The devices found fill the slots left free, in their order: USB serial adapters (ttyUSB, then
// ttyACM, each in numeric order), then on-board ports (ttyS) with a UART behind them. A device
// is never in two slots (one named for a second slot leaves that slot without a device), and the
// system console is never among the devices found.
PortMap TakePortSnapshot(const PortOverrides& overrides = {});

// The serial ports of the operating system this program runs on, taken once for the run: on
// POSIX systems a CPosixPortSystem over TakePortSnapshot(overrides), on Windows the ports COM1 to
// COM4 themselves (win32::CPortSystem). A device named in `overrides` stands in for its COMn.
std::unique_ptr<IPortSystem> MakeSystemPorts(const PortOverrides& overrides = {});
// Whether `value` names a device of this system ("/dev/ttyUSB0"; on Windows "COM7" or
// "\\.\COM12") rather than one of COM1 to COM4.
bool NamesSystemDevice(const std::string& value);
// How COM1 to COM4 are found on this system, for the usage text (lines of at most 80 columns).
const char* SystemPortsHelp();
// How to use a port found beyond COM1 to COM4 on this system, for the port list.
const char* SystemOtherPortsHelp();

// POSIX serial devices over termios, as the snapshot maps them. A device must be a terminal and
// not the system console; it is opened exclusively and made raw. Another program holding a
// serial device open (not a pseudo-terminal, whose other side always has a program) is named in
// the failure's detail, and keeps the search away from it.
class CPosixPortSystem final : public IPortSystem {
  public:
    explicit CPosixPortSystem(PortMap map) : m_map(std::move(map)) {}
    std::unique_ptr<IPortDriver> Open(const std::string& name, PortFailure* failure) override;
    std::unique_ptr<IPortDriver> OpenToSearch(const std::string& name,
                                              PortFailure* failure) override;
    PortMap Ports() override { return m_map; }

  private:
    std::unique_ptr<IPortDriver> OpenSlot(const std::string& name, bool searching,
                                          PortFailure* failure);
    PortMap m_map;
};

// Puts every port this process holds open back as it was found (line settings restored; on
// POSIX also exclusive use cleared and file lock dropped) and closes it, for whatever ends the
// process: on POSIX async-signal-safe, on Windows callable from any thread (an operation on the
// port in progress is cut short or awaited). The ports' owners then find them closed and failing.
void ReleaseOpenPorts();

// Opens the null device onto each of the standard descriptors 0, 1 and 2 that is closed, so
// that no port or file opened later takes one of their numbers (and receives what is meant for
// standard output or error). Called first thing in main; nothing to do where handles have no
// such numbers (Windows).
void FillClosedStandardDescriptors();

// Port baud rate for a speed code (96, 192, 384, 576, 1152, 2304), 0 for other codes.
uint32_t BaudRateForSpeedCode(int speedCode);

// ---------------------------------------------------------------------------------------------
// The port half of the camera link.
// ---------------------------------------------------------------------------------------------
constexpr uint32_t kPortBufferSize = 2048;

// A port that OpenPort tried, and what came of it.
struct PortAttempt {
    int portNumber = 0;
    bool opened = false;  // it opened and was set up (a camera then did or did not answer)
    PortFailure failure;  // why it could not be opened or set up, or why it failed while open
};

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
    // Every port OpenPort tried on this object, in order, with the reason for each failure.
    std::vector<PortAttempt> PortsTried() const;

  protected:
    // OpenPort for the search of all ports: a device another program holds open is left alone
    // (IPortSystem::OpenToSearch).
    uint32_t OpenPortToSearch(int portNumber);
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
    uint32_t OpenPortFor(int portNumber, bool searching);
    // Records a failed opening of `portNumber`; returns kStatusPortFailed.
    uint32_t OpenFailed(int portNumber, PortFailure failure);

    IPortSystem& m_ports;
    std::vector<PortAttempt> m_portsTried;
};

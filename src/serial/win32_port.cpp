// Windows' serial ports behind the port seam, through the Win32 communications calls.
//
// A port is opened for this program alone and made a raw binary line (no flow control of any
// kind, no byte discarded or replaced, DTR and RTS on). The settings and time-outs it had before
// are kept in the port registry, which puts them back when the port closes or when the console's
// Ctrl+C ends the process; every use of the handle goes through the registry.
//
// No call blocks past its deadline, and no wait spins: the read time-outs are set before every
// read. Reading queued bytes returns at once. A wait for input first moves whatever the driver
// has queued into a buffer of this driver, then reads one byte with the wait's time as the
// read's total time-out, so the thread blocks in the driver until the next byte arrives or the
// time is up; the queue counts include the buffer. Writes follow the rule both drivers share
// (serial/bounded_write.hpp): twice their line time plus a second, in the driver as here.
//
// Abort on error is set on the line: after a framing error or a break Windows fails every read
// and write until the error is cleared. Pending errors are therefore cleared before every
// ReadFile and WriteFile, so that only a failure of the read or write itself fails it, and once
// more after a failed one. Every Win32 call goes through the ICommCalls seam.
#include <windows.h>

#include <algorithm>
#include <deque>
#include <memory>
#include <optional>
#include <string>

#include "serial/bounded_write.hpp"
#include "serial/line_time.hpp"
#include "serial/serial.hpp"
#include "serial/win32_port.hpp"
#include "serial/win32_port_registry.hpp"

namespace {

using line_time::LineTimeMs;
using line_time::RemainingMs;

// Input this driver holds beyond the driver's own queue.
constexpr size_t kMaxBufferedInput = 65536;
// The most bytes one read takes when the driver's queue is emptied into this driver's buffer.
constexpr DWORD kTakeChunkBytes = 512;

class Win32PortDriver final : public IPortDriver {
  public:
    Win32PortDriver(win32_registry::Ticket ticket, win32::ICommCalls& calls)
        : m_ticket(ticket), m_calls(calls) {}

    // Settings and time-outs back as found, handle closed.
    ~Win32PortDriver() override { win32_registry::Release(m_ticket); }

    Win32PortDriver(const Win32PortDriver&) = delete;
    Win32PortDriver& operator=(const Win32PortDriver&) = delete;

    PortFailure LastFailure() const override {
        if (m_lastError != 0) {
            return win32::RunFailure(m_lastError);
        }
        return m_stalled.value_or(PortFailure{});
    }

    // A raw binary line with reads that return at once; the rate and framing stay as the port
    // had them until the port layer sets its own.
    bool MakeRaw() {
        DCB dcb{};
        if (!ReadState(&dcb)) {
            return false;
        }
        dcb.fBinary = TRUE;
        dcb.fOutxCtsFlow = FALSE;
        dcb.fOutxDsrFlow = FALSE;
        dcb.fDtrControl = DTR_CONTROL_ENABLE;
        dcb.fDsrSensitivity = FALSE;
        dcb.fOutX = FALSE;
        dcb.fInX = FALSE;
        dcb.fErrorChar = FALSE;
        dcb.fNull = FALSE;
        dcb.fRtsControl = RTS_CONTROL_ENABLE;
        m_baudRate = dcb.BaudRate;
        m_timeouts = COMMTIMEOUTS{};
        m_timeouts.ReadIntervalTimeout = MAXDWORD;
        SetWriteTimeouts();
        return Use([&](HANDLE port) {
            return m_calls.SetCommState(port, &dcb) != 0 &&
                   m_calls.SetCommTimeouts(port, &m_timeouts) != 0;
        });
    }

    bool SetupQueues(uint32_t inBytes, uint32_t outBytes) override {
        return Use([&](HANDLE port) { return m_calls.SetupComm(port, inBytes, outBytes) != 0; });
    }

    bool ClearErrors(QueueCounts* counts) override {
        COMSTAT status{};
        if (!Status(&status)) {
            return false;
        }
        if (counts != nullptr) {
            counts->inQueue = static_cast<uint32_t>(m_input.size() + status.cbInQue);
            counts->outQueue = status.cbOutQue;
        }
        return true;
    }

    bool Purge(bool input, bool output) override {
        if (input) {
            m_input.clear();
        }
        const DWORD flags = (input ? PURGE_RXCLEAR : 0) | (output ? PURGE_TXCLEAR : 0);
        return Use([&](HANDLE port) { return flags == 0 || m_calls.PurgeComm(port, flags) != 0; });
    }

    bool SetBreak(bool on) override {
        return Use([&](HANDLE port) {
            return (on ? m_calls.SetCommBreak(port) : m_calls.ClearCommBreak(port)) != 0;
        });
    }

    bool GetSettings(LineSettings* settings) override {
        DCB dcb{};
        if (!ReadState(&dcb)) {
            return false;
        }
        settings->baudRate = dcb.BaudRate;
        settings->binary = dcb.fBinary != 0;
        settings->parityCheck = dcb.fParity != 0;
        settings->abortOnError = dcb.fAbortOnError != 0;
        settings->byteSize = dcb.ByteSize;
        settings->parity = dcb.Parity;
        settings->stopBits = dcb.StopBits;
        m_baudRate = dcb.BaudRate;
        return true;
    }

    bool SetSettings(const LineSettings& settings) override {
        DCB dcb{};
        if (!ReadState(&dcb)) {
            return false;
        }
        dcb.BaudRate = settings.baudRate;
        dcb.fBinary = settings.binary ? TRUE : FALSE;
        dcb.fParity = settings.parityCheck ? TRUE : FALSE;
        dcb.fAbortOnError = settings.abortOnError ? TRUE : FALSE;
        dcb.ByteSize = settings.byteSize;
        dcb.Parity = settings.parity;
        dcb.StopBits = settings.stopBits;
        COMMTIMEOUTS timeouts = m_timeouts;
        timeouts.WriteTotalTimeoutMultiplier = WriteMsPerByte(settings.baudRate);
        if (!Use([&](HANDLE port) {
                return m_calls.SetCommState(port, &dcb) != 0 &&
                       m_calls.SetCommTimeouts(port, &timeouts) != 0;
            })) {
            return false;
        }
        m_baudRate = settings.baudRate;
        m_timeouts = timeouts;
        return true;
    }

    // Hands the bytes over and waits until they have left, by the drivers' common rule.
    bool Write(const uint8_t* data, uint32_t n) override {
        Output output(*this);
        const bounded_write::Result result =
            bounded_write::Write(output, SystemClock(), data, n, m_baudRate);
        if (result.outcome == bounded_write::Outcome::Stalled) {
            m_stalled = bounded_write::StalledFailure(n, result);
        }
        return result.outcome == bounded_write::Outcome::Written;
    }

    bool Read(uint8_t* data, uint32_t n) override {
        uint32_t done = 0;
        while (done < n && !m_input.empty()) {
            data[done++] = m_input.front();
            m_input.pop_front();
        }
        return done == n || Use([&](HANDLE port) {
                   if (!SetReadWait(port, 0)) {
                       return false;
                   }
                   while (done < n) {
                       DWORD got = 0;
                       if (!ClearLineErrors(port)) {
                           return false;
                       }
                       if (m_calls.ReadFile(port, data + done, n - done, &got) == 0) {
                           return ClearAfterFailure(port);
                       }
                       if (got == 0) {
                           return false;  // fewer bytes than were queued
                       }
                       done += got;
                   }
                   return true;
               });
    }

    void WaitForChange(WaitFor what, uint32_t deadlineMs) override {
        IClock& clock = CurrentClock();
        const int remaining = RemainingMs(clock, deadlineMs);
        if (remaining == 0 || m_failed) {
            return;
        }
        if (what == WaitFor::OutputDrained) {
            COMSTAT status{};
            if (!Status(&status)) {
                m_failed = true;
                return;
            }
            SleepForDrain(clock, status.cbOutQue, remaining);
            return;
        }
        if (m_input.size() >= kMaxBufferedInput) {
            clock.SleepUntilMs(clock.NowMs() + 1);
            return;
        }
        const bool usable = Use([&](HANDLE port) {
            // Take what the driver holds so that the wait below is for the next byte. Bytes
            // taken now may be what the caller waits for: it re-checks before any blocking.
            bool took = false;
            if (!TakeQueuedInput(port, &took)) {
                return false;
            }
            uint8_t byte = 0;
            DWORD got = 0;
            if (took) {
                return true;
            }
            if (!SetReadWait(port, static_cast<DWORD>(remaining)) || !ClearLineErrors(port)) {
                return false;
            }
            if (m_calls.ReadFile(port, &byte, 1, &got) == 0) {
                return IsLineError();
            }
            if (got == 1) {
                m_input.push_back(byte);
            }
            return true;
        });
        // A failed wait is the end of the port.
        m_failed = m_failed || !usable;
    }

  private:
    // The device's side of the write rule. WriteFile itself waits, bounded by the write
    // time-outs, which give it the rule's allowance.
    class Output final : public bounded_write::IDevice {
      public:
        explicit Output(Win32PortDriver& driver) : m_driver(driver) {}
        int64_t Hand(const uint8_t* data, uint32_t n, uint32_t deadlineMs) override {
            if (line_time::RemainingMs(SystemClock(), deadlineMs) == 0) {
                return 0;
            }
            DWORD written = 0;
            if (!m_driver.Use([&](HANDLE port) {
                    return m_driver.ClearLineErrors(port) &&
                           (m_driver.m_calls.WriteFile(port, data, n, &written) != 0 ||
                            m_driver.ClearAfterFailure(port));
                })) {
                return -1;
            }
            return written;
        }
        bool Unsent(uint32_t* count) override {
            COMSTAT status{};
            if (!m_driver.Status(&status)) {
                return false;
            }
            *count = status.cbOutQue;
            return true;
        }

      private:
        Win32PortDriver& m_driver;
    };

    // Runs `call` on the port's handle under the port registry's guard. False, with the reason
    // kept, when the port has failed for good, has been released, or the call fails.
    template <typename Call>
    bool Use(Call&& call) {
        if (m_failed) {
            return false;
        }
        const win32_registry::CUse use(m_ticket);
        if (use.Handle() == nullptr) {
            m_failed = true;
            return Failed(ERROR_INVALID_HANDLE);
        }
        return call(use.Handle()) || Failed(m_calls.GetLastError());
    }

    // Clears a line error flagged earlier, which would fail the next read or write.
    bool ClearLineErrors(HANDLE port) {
        DWORD errors = 0;
        return m_calls.ClearCommError(port, &errors, nullptr) != 0;
    }

    // After a failed read or write: the line errors cleared once more, the failure's own reason
    // kept; returns false.
    bool ClearAfterFailure(HANDLE port) {
        const DWORD error = m_calls.GetLastError();
        ClearLineErrors(port);
        m_calls.SetLastError(error);
        return false;
    }

    // Keeps `error` as the reason for the failure being reported (the first reason once the port
    // has failed for good); returns false.
    bool Failed(DWORD error) {
        if (!m_failed || m_lastError == 0) {
            m_lastError = error;
        }
        return false;
    }

    bool ReadState(DCB* dcb) {
        *dcb = DCB{};
        dcb->DCBlength = sizeof(DCB);
        return Use([&](HANDLE port) { return m_calls.GetCommState(port, dcb) != 0; });
    }

    // Clears line errors and reads the queue counts.
    bool Status(COMSTAT* status) {
        DWORD errors = 0;
        return Use([&](HANDLE port) { return m_calls.ClearCommError(port, &errors, status) != 0; });
    }

    // The driver's own bound on a write: the rule's allowance, as a multiplier per byte and a
    // constant.
    static DWORD WriteMsPerByte(uint32_t baudRate) { return 2 * LineTimeMs(1, baudRate); }
    void SetWriteTimeouts() {
        m_timeouts.WriteTotalTimeoutMultiplier = WriteMsPerByte(m_baudRate);
        m_timeouts.WriteTotalTimeoutConstant = bounded_write::kWriteSlackMs;
    }

    // Reads return at once with what is queued (waitMs 0), or take up to waitMs in all. A read
    // of one byte with a total time-out is the wait for input: it ends when the byte is there.
    bool SetReadWait(HANDLE port, DWORD waitMs) {
        const DWORD interval = waitMs == 0 ? MAXDWORD : 0;
        if (m_timeouts.ReadIntervalTimeout == interval &&
            m_timeouts.ReadTotalTimeoutConstant == waitMs) {
            return true;
        }
        m_timeouts.ReadIntervalTimeout = interval;
        m_timeouts.ReadTotalTimeoutMultiplier = 0;
        m_timeouts.ReadTotalTimeoutConstant = waitMs;
        return m_calls.SetCommTimeouts(port, &m_timeouts) != 0;
    }

    // Moves the driver's queued input into m_input (*took: whether any byte came); false when
    // the port failed.
    bool TakeQueuedInput(HANDLE port, bool* took) {
        *took = false;
        if (!SetReadWait(port, 0)) {
            return false;
        }
        uint8_t chunk[kTakeChunkBytes];
        while (m_input.size() < kMaxBufferedInput) {
            const auto room = static_cast<DWORD>(
                std::min<size_t>(sizeof chunk, kMaxBufferedInput - m_input.size()));
            DWORD got = 0;
            if (!ClearLineErrors(port)) {
                return false;
            }
            if (m_calls.ReadFile(port, chunk, room, &got) == 0) {
                return IsLineError();
            }
            if (got == 0) {
                break;
            }
            m_input.insert(m_input.end(), chunk, chunk + got);
            *took = true;
        }
        return true;
    }

    // A read refused for a line error that came during the wait (abort on error) stops reading
    // until the next clearing; any other failed read is the end of the port.
    bool IsLineError() { return m_calls.GetLastError() == ERROR_OPERATION_ABORTED; }

    // Sleeps until `queued` output bytes may have gone out, at most `remaining` ms.
    void SleepForDrain(IClock& clock, DWORD queued, int remaining) const {
        const uint32_t drainMs = std::max<uint32_t>(1, LineTimeMs(queued, m_baudRate));
        clock.SleepUntilMs(clock.NowMs() +
                           std::min<uint32_t>(drainMs, static_cast<uint32_t>(remaining)));
    }

    win32_registry::Ticket m_ticket;
    win32::ICommCalls& m_calls;
    COMMTIMEOUTS m_timeouts{};
    bool m_failed = false;  // the port went away or failed; every operation fails from now
    DWORD m_lastError = 0;  // the system's error of the latest failure, 0 while none
    uint32_t m_baudRate = 9600;
    std::deque<uint8_t> m_input;
    std::optional<PortFailure> m_stalled;  // the latest write that gave up, while none failed
};

}  // namespace

namespace win32 {

std::unique_ptr<IPortDriver> OpenPort(const std::string& device, PortFailure* why,
                                      ICommCalls& calls) {
    const std::string path = device.rfind("\\\\", 0) == 0 ? device : "\\\\.\\" + device;
    HANDLE handle = calls.CreateFileW(Wide(path));
    if (handle == INVALID_HANDLE_VALUE) {
        *why = OpenFailure(calls.GetLastError());
        return nullptr;
    }
    // A name that leads to no serial port has no line settings.
    DCB state{};
    state.DCBlength = sizeof state;
    COMMTIMEOUTS timeouts{};
    if (!calls.GetCommState(handle, &state) || !calls.GetCommTimeouts(handle, &timeouts)) {
        *why = RunFailure(calls.GetLastError());
        why->problem = PortProblem::NotATerminal;
        why->detail = "no serial port";
        CloseHandle(handle);
        return nullptr;
    }
    const win32_registry::Ticket ticket = win32_registry::Enter(handle, state, timeouts);
    if (ticket == win32_registry::kNoTicket) {
        *why = PortFailure{PortProblem::Failed, 0, "too many ports open", {}};
        return nullptr;
    }
    // The driver owns the entry from here: its destructor puts the port back and closes it.
    auto driver = std::make_unique<Win32PortDriver>(ticket, calls);
    if (!driver->MakeRaw()) {
        *why = driver->LastFailure();
        why->problem = PortProblem::SetupFailed;
        return nullptr;
    }
    return driver;
}

}  // namespace win32

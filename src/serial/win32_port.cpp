// Windows' serial ports behind the port seam, through the Win32 communications calls.
//
// A port is opened for this program alone and made a raw binary line (no flow control of any
// kind, no byte discarded or replaced, DTR and RTS on). The settings and time-outs it had before
// are put back when it closes.
//
// No call blocks past its deadline, and no wait spins: the read time-outs are set before every
// read. Reading queued bytes returns at once. A wait for input first moves whatever the driver
// has queued into a buffer of this driver, then reads one byte with the wait's time as the
// read's total time-out, so the thread blocks in the driver until the next byte arrives or the
// time is up; the queue counts include the buffer. Writes are bounded by twice their line time
// plus a second, in the driver as here.
#include "serial/win32_port.hpp"

#include <windows.h>

#include <algorithm>
#include <deque>
#include <memory>
#include <string>

#include "serial/line_time.hpp"
#include "serial/serial.hpp"

namespace {

using line_time::LineTimeMs;
using line_time::RemainingMs;

// Input this driver holds beyond the driver's own queue.
constexpr size_t kMaxBufferedInput = 65536;
// Extra allowance for a write to be taken by the device, beyond twice its line time.
constexpr uint32_t kWriteSlackMs = 1000;
// The most bytes one read takes when the driver's queue is emptied into this driver's buffer.
constexpr DWORD kTakeChunkBytes = 512;

class Win32PortDriver final : public IPortDriver {
  public:
    Win32PortDriver(HANDLE handle, const DCB& previousState, const COMMTIMEOUTS& previousTimeouts)
        : m_handle(handle), m_previousState(previousState), m_previousTimeouts(previousTimeouts) {}

    ~Win32PortDriver() override {
        SetCommState(m_handle, &m_previousState);
        SetCommTimeouts(m_handle, &m_previousTimeouts);
        CloseHandle(m_handle);
    }

    Win32PortDriver(const Win32PortDriver&) = delete;
    Win32PortDriver& operator=(const Win32PortDriver&) = delete;

    // A raw binary line with reads that return at once; the rate and framing stay as the port
    // had them until the port layer sets its own.
    bool MakeRaw() {
        DCB dcb = m_previousState;
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
        if (!SetCommState(m_handle, &dcb)) {
            return false;
        }
        m_baudRate = dcb.BaudRate;
        m_timeouts = COMMTIMEOUTS{};
        m_timeouts.ReadIntervalTimeout = MAXDWORD;
        SetWriteTimeouts();
        return SetCommTimeouts(m_handle, &m_timeouts) != 0;
    }

    bool SetupQueues(uint32_t inBytes, uint32_t outBytes) override {
        return !m_failed && SetupComm(m_handle, inBytes, outBytes) != 0;
    }

    bool ClearErrors(QueueCounts* counts) override {
        DWORD errors = 0;
        COMSTAT status{};
        if (m_failed || !ClearCommError(m_handle, &errors, &status)) {
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
        return !m_failed && (flags == 0 || PurgeComm(m_handle, flags) != 0);
    }

    bool SetBreak(bool on) override {
        return !m_failed && (on ? SetCommBreak(m_handle) : ClearCommBreak(m_handle)) != 0;
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
        if (!SetCommState(m_handle, &dcb)) {
            return false;
        }
        m_baudRate = settings.baudRate;
        SetWriteTimeouts();
        return SetCommTimeouts(m_handle, &m_timeouts) != 0;
    }

    // Returns once the device has taken every byte, so that purging the output queue afterwards
    // cannot discard any of them. Bounded by twice the line time plus a second.
    bool Write(const uint8_t* data, uint32_t n) override {
        if (m_failed) {
            return false;
        }
        IClock& clock = SystemClock();
        const uint32_t giveUpAt = clock.NowMs() + 2 * LineTimeMs(n, m_baudRate) + kWriteSlackMs;
        DWORD written = 0;
        if (!WriteFile(m_handle, data, n, &written, nullptr) || written != n) {
            return false;
        }
        for (;;) {
            DWORD errors = 0;
            COMSTAT status{};
            if (!ClearCommError(m_handle, &errors, &status)) {
                return false;
            }
            if (status.cbOutQue == 0) {
                return true;
            }
            const int remaining = RemainingMs(clock, giveUpAt);
            if (remaining == 0) {
                return false;
            }
            SleepForDrain(clock, status.cbOutQue, remaining);
        }
    }

    bool Read(uint8_t* data, uint32_t n) override {
        if (m_failed) {
            return false;
        }
        uint32_t done = 0;
        while (done < n && !m_input.empty()) {
            data[done++] = m_input.front();
            m_input.pop_front();
        }
        if (done < n && !SetReadWait(0)) {
            return false;
        }
        while (done < n) {
            DWORD got = 0;
            if (!ReadFile(m_handle, data + done, n - done, &got, nullptr) || got == 0) {
                return false;  // fewer bytes than were queued
            }
            done += got;
        }
        return true;
    }

    void WaitForChange(WaitFor what, uint32_t deadlineMs) override {
        IClock& clock = CurrentClock();
        const int remaining = RemainingMs(clock, deadlineMs);
        if (remaining == 0 || m_failed) {
            return;
        }
        if (what == WaitFor::OutputDrained) {
            DWORD errors = 0;
            COMSTAT status{};
            if (!ClearCommError(m_handle, &errors, &status)) {
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
        // Take what the driver holds so that the wait below is for the next byte. Bytes taken
        // now may be what the caller waits for: it re-checks before any blocking.
        const size_t took = TakeQueuedInput();
        if (took > 0 || m_failed) {
            return;
        }
        uint8_t byte = 0;
        DWORD got = 0;
        if (!SetReadWait(static_cast<DWORD>(remaining)) ||
            !ReadFile(m_handle, &byte, 1, &got, nullptr)) {
            NoteReadFailure();
            return;
        }
        if (got == 1) {
            m_input.push_back(byte);
        }
    }

  private:
    bool ReadState(DCB* dcb) {
        *dcb = DCB{};
        dcb->DCBlength = sizeof(DCB);
        return !m_failed && GetCommState(m_handle, dcb) != 0;
    }

    // A write may take twice its line time plus a second: a multiplier per byte and a constant.
    void SetWriteTimeouts() {
        m_timeouts.WriteTotalTimeoutMultiplier = 2 * LineTimeMs(1, m_baudRate);
        m_timeouts.WriteTotalTimeoutConstant = kWriteSlackMs;
    }

    // Reads return at once with what is queued (waitMs 0), or take up to waitMs in all. A read
    // of one byte with a total time-out is the wait for input: it ends when the byte is there.
    bool SetReadWait(DWORD waitMs) {
        const DWORD interval = waitMs == 0 ? MAXDWORD : 0;
        if (m_timeouts.ReadIntervalTimeout == interval &&
            m_timeouts.ReadTotalTimeoutConstant == waitMs) {
            return true;
        }
        m_timeouts.ReadIntervalTimeout = interval;
        m_timeouts.ReadTotalTimeoutMultiplier = 0;
        m_timeouts.ReadTotalTimeoutConstant = waitMs;
        return SetCommTimeouts(m_handle, &m_timeouts) != 0;
    }

    // Moves the driver's queued input into m_input; the number of bytes taken.
    size_t TakeQueuedInput() {
        if (!SetReadWait(0)) {
            m_failed = true;
            return 0;
        }
        size_t took = 0;
        uint8_t chunk[kTakeChunkBytes];
        while (m_input.size() < kMaxBufferedInput) {
            const auto room = static_cast<DWORD>(
                std::min<size_t>(sizeof chunk, kMaxBufferedInput - m_input.size()));
            DWORD got = 0;
            if (!ReadFile(m_handle, chunk, room, &got, nullptr)) {
                NoteReadFailure();
                break;
            }
            if (got == 0) {
                break;
            }
            m_input.insert(m_input.end(), chunk, chunk + got);
            took += got;
        }
        return took;
    }

    // A line error stops reading until the caller clears it; anything else is the end.
    void NoteReadFailure() {
        if (GetLastError() != ERROR_OPERATION_ABORTED) {
            m_failed = true;
        }
    }

    // Sleeps until `queued` output bytes may have gone out, at most `remaining` ms.
    void SleepForDrain(IClock& clock, DWORD queued, int remaining) const {
        const uint32_t drainMs = std::max<uint32_t>(1, LineTimeMs(queued, m_baudRate));
        clock.SleepUntilMs(clock.NowMs() +
                           std::min<uint32_t>(drainMs, static_cast<uint32_t>(remaining)));
    }

    HANDLE m_handle;
    DCB m_previousState;
    COMMTIMEOUTS m_previousTimeouts;
    COMMTIMEOUTS m_timeouts{};
    bool m_failed = false;  // the port went away or failed; every operation fails from now
    uint32_t m_baudRate = 9600;
    std::deque<uint8_t> m_input;
};

// Windows' text for an error code, without the line end it comes with.
std::string SystemText(DWORD error) {
    char* buffer = nullptr;
    const DWORD length = FormatMessageA(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
        nullptr, error, 0, reinterpret_cast<char*>(&buffer), 0, nullptr);
    std::string text =
        length > 0 && buffer != nullptr ? std::string(buffer, length) : std::string();
    LocalFree(buffer);
    while (!text.empty() && (text.back() == '\n' || text.back() == '\r' || text.back() == ' ')) {
        text.pop_back();
    }
    if (text.empty()) {
        text = "Windows error " + std::to_string(error);
    }
    return text;
}

}  // namespace

namespace win32 {

OpenFailure DescribeOpenFailure(uint32_t systemError) {
    OpenFailure failure;
    failure.systemError = systemError;
    failure.text = SystemText(systemError);
    switch (systemError) {
        case ERROR_ACCESS_DENIED:
        case ERROR_SHARING_VIOLATION:
            failure.problem = OpenProblem::InUse;
            break;
        case ERROR_FILE_NOT_FOUND:
        case ERROR_PATH_NOT_FOUND:
            failure.problem = OpenProblem::NoSuchPort;
            break;
        default:
            failure.problem = OpenProblem::Failed;
            break;
    }
    return failure;
}

std::unique_ptr<IPortDriver> CPortSystem::Open(const std::string& name) {
    if (name.size() != 4 || name.compare(0, 3, "COM") != 0 || name[3] < '1' || name[3] > '4') {
        return nullptr;
    }
    const std::string path = "\\\\.\\" + name;
    HANDLE handle = CreateFileA(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                                OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (handle == INVALID_HANDLE_VALUE) {
        m_lastFailure = DescribeOpenFailure(GetLastError());
        return nullptr;
    }
    // A name that leads to no serial port has no line settings.
    DCB state{};
    state.DCBlength = sizeof state;
    COMMTIMEOUTS timeouts{};
    if (!GetCommState(handle, &state) || !GetCommTimeouts(handle, &timeouts)) {
        CloseHandle(handle);
        return nullptr;
    }
    // The driver owns the handle from here: its destructor restores and closes it.
    auto driver = std::make_unique<Win32PortDriver>(handle, state, timeouts);
    if (!driver->MakeRaw()) {
        return nullptr;
    }
    return driver;
}

}  // namespace win32

IPortSystem& SystemPorts() {
    static win32::CPortSystem ports;
    return ports;
}

const char* SystemPortsHelp() {
    return "COM1 to COM4 are the Windows serial ports of these names (the Device Manager shows\n"
           "which COM number a USB serial adapter has, and can change it).";
}

// The port half of the camera link: opening with fixed line settings, purging, break, writing and
// reading against millisecond deadlines, and speed changes.
//
// Every wait is measured here on the current clock by polling the driver's queue counts. Between
// two polls the thread blocks in the driver (WaitForChange) until the earliest moment the outcome
// can change, so a wait ends on time without keeping a processor busy.
#include <string>
#include <utility>
#include <vector>

#include "serial/serial.hpp"

namespace {

constexpr uint32_t kGapMs = 100;           // a pause this long after data began ends a read
constexpr uint32_t kBreakSettleMs = 2000;  // the camera's time to come back after a break
constexpr uint32_t kOpenSettleMs = 100;

// Why an opened port could not be set up: the driver's reason, or a general one.
PortFailure SetupFailure(const IPortDriver& port) {
    PortFailure failure = port.LastFailure();
    if (failure.problem == PortProblem::None) {
        failure.problem = PortProblem::SetupFailed;
    }
    return failure;
}

// The failure of an open port in place of its attempt's `kept` state (None), which keeps the
// names of other holders when the port has not failed.
void KeepFailure(PortFailure& kept, PortFailure failure) {
    if (failure.problem != PortProblem::None) {
        kept = std::move(failure);
    }
}

}  // namespace

CSerialPort::CSerialPort(IPortSystem& ports) : m_lastReceive(NowMs()), m_ports(ports) {}

CSerialPort::~CSerialPort() {
    FreeBlock(m_sendBuf);
    FreeBlock(m_recvBuf);
}

uint32_t CSerialPort::OpenPort(int portNumber) {
    return OpenPortFor(portNumber, false);
}

uint32_t CSerialPort::OpenPortToSearch(int portNumber) {
    return OpenPortFor(portNumber, true);
}

uint32_t CSerialPort::OpenPortFor(int portNumber, bool searching) {
    // Opening again must not leak the handle and buffers of the current opening.
    if (m_hPort != nullptr) {
        ClosePort();
    }

    std::string name = "COM";
    name += static_cast<char>('0' + portNumber);

    PortFailure failure;
    std::unique_ptr<IPortDriver> port =
        searching ? m_ports.OpenToSearch(name, &failure) : m_ports.Open(name, &failure);
    if (port == nullptr) {
        return OpenFailed(portNumber, std::move(failure));
    }
    // Other programs holding the device open (named for a port chosen all the same).
    const std::string alsoHeldBy = std::move(failure.detail);
    if (!port->SetupQueues(kPortBufferSize, kPortBufferSize) || !port->ClearErrors(nullptr)) {
        return OpenFailed(portNumber, SetupFailure(*port));
    }
    DelayMs(kOpenSettleMs);

    LineSettings settings;
    if (!port->GetSettings(&settings)) {
        return OpenFailed(portNumber, SetupFailure(*port));
    }
    settings.baudRate = 9600;
    settings.binary = true;
    settings.parityCheck = true;
    settings.abortOnError = true;
    settings.byteSize = 8;
    settings.parity = 0;
    settings.stopBits = 0;
    if (!port->SetSettings(settings) || !port->ClearErrors(nullptr)) {
        return OpenFailed(portNumber, SetupFailure(*port));
    }

    auto* sendBuf = static_cast<uint8_t*>(AllocZeroed(kPortBufferSize));
    auto* recvBuf = static_cast<uint8_t*>(AllocZeroed(kPortBufferSize));
    if (sendBuf == nullptr || recvBuf == nullptr) {
        FreeBlock(sendBuf);
        FreeBlock(recvBuf);
        OpenFailed(portNumber, PortFailure{PortProblem::Failed, 0, "not enough memory", {}});
        return kStatusNoMemory;
    }
    m_portsTried.push_back(PortAttempt{portNumber, true, {PortProblem::None, 0, {}, alsoHeldBy}});

    m_hPort = std::move(port);
    m_sendBuf = sendBuf;
    m_recvBuf = recvBuf;
    m_commandTries = 3;
    m_portSpeed = 96;
    m_lastReceive = NowMs() + 100;
    return kStatusOk;
}

uint32_t CSerialPort::OpenFailed(int portNumber, PortFailure failure) {
    if (failure.problem == PortProblem::None) {
        failure.problem = PortProblem::Failed;  // a port system that does not say why
    }
    m_portsTried.push_back(PortAttempt{portNumber, false, std::move(failure)});
    return kStatusPortFailed;
}

std::vector<PortAttempt> CSerialPort::PortsTried() const {
    std::vector<PortAttempt> tried = m_portsTried;
    // The port still open may have failed since (its reason is kept on closing).
    if (m_hPort != nullptr && !tried.empty() && tried.back().failure.problem == PortProblem::None) {
        KeepFailure(tried.back().failure, m_hPort->LastFailure());
    }
    return tried;
}

void CSerialPort::ClosePort() {
    PurgePort(2);
    if (m_hPort != nullptr && !m_portsTried.empty() &&
        m_portsTried.back().failure.problem == PortProblem::None) {
        KeepFailure(m_portsTried.back().failure, m_hPort->LastFailure());
    }
    m_hPort.reset();
    m_portSpeed = 96;
    FreeBlock(m_sendBuf);
    m_sendBuf = nullptr;
    FreeBlock(m_recvBuf);
    m_recvBuf = nullptr;
}

void CSerialPort::PurgePort(int which) {
    QueueCounts counts;
    if (m_hPort == nullptr || !m_hPort->ClearErrors(&counts)) {
        return;
    }
    bool purged = true;
    if ((which == 1 || which == 2) && counts.inQueue > 0) {
        purged = m_hPort->Purge(true, false) && purged;
    }
    if ((which == 0 || which == 2) && counts.outQueue > 0) {
        purged = m_hPort->Purge(false, true) && purged;
    }
    if (!purged) {
        m_hPort->ClearErrors(nullptr);
    }
}

uint32_t CSerialPort::SetBreak(int what) {
    if (what == 0) {
        return m_hPort != nullptr && m_hPort->SetBreak(true) ? kStatusOk : kStatusPortFailed;
    }
    if (what != 1) {
        return kStatusBadArgument;
    }
    uint32_t status = kStatusPortFailed;
    if (m_hPort != nullptr && m_hPort->SetBreak(false)) {
        status = SetPortSpeed(96);
    }
    DelayMs(kBreakSettleMs);
    return status;
}

uint32_t CSerialPort::WritePort(int timeoutMs) {
    if (m_hPort == nullptr || m_sendBuf == nullptr) {
        return kStatusPortFailed;
    }
    // More than the buffer holds would send memory beyond it.
    if (m_sendLen > kPortBufferSize) {
        return kStatusBadArgument;
    }
    QueueCounts counts;
    if (!m_hPort->ClearErrors(&counts)) {
        return kStatusPortFailed;
    }
    // One millisecond more for every byte still queued.
    const uint32_t deadline = NowMs() + static_cast<uint32_t>(timeoutMs) + counts.outQueue;
    for (;;) {
        if (!m_hPort->ClearErrors(&counts)) {
            return kStatusPortFailed;
        }
        if (counts.outQueue == 0) {
            if (!m_hPort->Write(m_sendBuf, m_sendLen)) {
                m_hPort->ClearErrors(&counts);
                // A write that gave up at its deadline is a time-out on the record too.
                if (m_hPort->LastFailure().problem == PortProblem::OutputStalled) {
                    m_hPort->NoteTimeout(WaitFor::OutputDrained, m_sendLen, counts.outQueue);
                }
                return kStatusPortFailed;
            }
            return kStatusOk;
        }
        if (TimeReached(NowMs(), deadline)) {
            m_hPort->NoteTimeout(WaitFor::OutputDrained, m_sendLen, counts.outQueue);
            return kStatusTimeout;
        }
        m_hPort->WaitForChange(WaitFor::OutputDrained, deadline);
    }
}

uint32_t CSerialPort::ReadPort(int timeoutMs) {
    return ReadWithDeadline(timeoutMs, true);
}

uint32_t CSerialPort::ReadPortKeepingPending(int timeoutMs) {
    return ReadWithDeadline(timeoutMs, false);
}

uint32_t CSerialPort::ReadWithDeadline(int timeoutMs, bool discardPendingOnTimeout) {
    if (m_hPort == nullptr || m_recvBuf == nullptr) {
        return kStatusPortFailed;
    }
    // More than the buffer holds would be read past its end.
    if (m_recvLen > kPortBufferSize) {
        return kStatusBadArgument;
    }
    // One millisecond more for every expected byte.
    uint32_t deadline = NowMs() + static_cast<uint32_t>(timeoutMs) + m_recvLen;
    uint32_t pending = 0;
    bool gapMarked = false;
    uint32_t gapMark = 0;
    for (;;) {
        QueueCounts counts;
        if (!m_hPort->ClearErrors(&counts)) {
            return kStatusPortFailed;
        }
        const uint32_t now = NowMs();
        bool gapExpired = false;
        if (gapMarked) {
            if (counts.inQueue != pending) {
                gapMark = now;
            } else if (now - gapMark >= kGapMs) {
                gapExpired = true;
            }
        } else if (pending > 0) {
            gapMarked = true;
            gapMark = now;
        }
        const bool firstBytesSeen = !gapMarked && pending == 0 && counts.inQueue > 0;
        pending = counts.inQueue;

        if (pending >= m_recvLen) {
            if (!m_hPort->Read(m_recvBuf, m_recvLen)) {
                m_hPort->ClearErrors(nullptr);
                return kStatusPortFailed;
            }
            return kStatusOk;
        }
        if (gapExpired || TimeReached(now, deadline)) {
            break;
        }
        // The step after the first bytes sets the gap mark; it follows at once, as the next
        // poll would. Otherwise block until a byte may arrive, the gap ends or the deadline.
        if (!firstBytesSeen) {
            const uint32_t wakeAt = gapMarked ? Earlier(deadline, gapMark + kGapMs) : deadline;
            m_hPort->WaitForChange(WaitFor::Input, wakeAt);
        }
    }

    m_hPort->NoteTimeout(WaitFor::Input, m_recvLen, pending);
    if (pending > 0) {
        m_recvLen = static_cast<uint16_t>(pending);
        if (discardPendingOnTimeout) {
            PurgePort(1);
        }
    }
    return kStatusTimeout;
}

uint32_t CSerialPort::SetPortSpeed(int speedCode) {
    if (m_hPort == nullptr) {
        return kStatusPortFailed;
    }
    LineSettings settings;
    if (!m_hPort->GetSettings(&settings)) {
        return kStatusPortFailed;
    }
    const uint32_t baud = BaudRateForSpeedCode(speedCode);
    if (baud == 0) {
        return kStatusBadArgument;
    }
    PurgePort(2);
    settings.baudRate = baud;
    if (!m_hPort->SetSettings(settings)) {
        m_hPort->ClearErrors(nullptr);
        return kStatusPortFailed;
    }
    m_portSpeed = static_cast<int16_t>(speedCode);
    return kStatusOk;
}

uint32_t CSerialPort::QueuedInput(uint32_t* count) {
    QueueCounts counts;
    if (m_hPort == nullptr || !m_hPort->ClearErrors(&counts)) {
        return kStatusPortFailed;
    }
    if (count != nullptr) {
        *count = counts.inQueue;
    }
    return kStatusOk;
}

void CSerialPort::WaitInput(uint32_t deadlineMs) {
    if (TimeReached(NowMs(), deadlineMs)) {
        return;
    }
    if (m_hPort != nullptr) {
        m_hPort->WaitForChange(WaitFor::Input, deadlineMs);
    } else {
        CurrentClock().SleepUntilMs(deadlineMs);
    }
}

// POSIX serial devices (real ports, USB adapters and pseudo-terminals) behind the port seam.
//
// A device must be a terminal and not the system console: anything else is refused before it is
// opened. Before a serial device is opened, the programs that hold it open are looked up: the
// search of all ports leaves such a device alone, a chosen port names them. It is opened
// non-blocking and exclusively (an flock against other instances of this tool, TIOCEXCL against
// other openers; a device another program holds exclusively is refused), then put into a raw
// binary mode. Every failure keeps the system's reason. The terminal state it had before is kept
// in the port registry, which puts it back when the port closes or when a signal ends the
// process. Input that the kernel already holds is moved into a buffer of this driver whenever
// the caller waits for more, so that the wait can block in poll() until a new byte arrives; queue
// counts include that buffer. Writes follow the rule both drivers share (bounded_write.hpp).
//
// Pseudo-terminals accept break requests (TIOCSBRK/TIOCCBRK succeed on Linux), so a break needs
// no special case.
//
// A settings change and the close first wait until the bytes written have left the line, so that
// none goes out at the wrong rate or is cut off: the kernel's queue (TIOCOUTQ) empty, then the
// transmitter itself where the driver can tell (a UART's line status, TIOCSERGETLSR), otherwise
// until the line has had the time to send the last bytes handed over (an adapter's buffer is in
// neither). Every step polls through the clock seam up to a bound, so that an adapter that stops
// sending cannot hang the tool (tcdrain has no bound and waits on no clock).
#include <fcntl.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <deque>
#include <memory>
#include <optional>
#include <string>
#include <utility>

#include "serial/bounded_write.hpp"
#include "serial/line_time.hpp"
#include "serial/port_registry.hpp"
#include "serial/posix_checks.hpp"
#include "serial/serial.hpp"
#include "serial/tty_settings.hpp"

namespace {

// Input this driver holds beyond the kernel's own queue.
constexpr size_t kMaxBufferedInput = 65536;

using line_time::LineTimeMs;
using line_time::RemainingMs;

class PosixPortDriver final : public IPortDriver {
  public:
    // Takes the descriptor over before anything on the device changes, keeping its terminal
    // state as found (a device that is no terminal has none).
    explicit PosixPortDriver(int fd) : m_fd(fd), m_lineFreeAt(SystemClock().NowMs()) {
        tty::FoundState found{};
        const bool isTerminal = tty::SaveState(fd, &found);
        m_ticket = port_registry::Enter(fd, isTerminal ? &found : nullptr);
        if (m_ticket == port_registry::kNoTicket) {
            close(fd);
            m_failed = true;
        }
    }

    // Output sent, line settings back as found, exclusive use cleared, descriptor (and flock)
    // closed.
    ~PosixPortDriver() override {
        DrainOutput();
        port_registry::Release(m_ticket);
    }

    PosixPortDriver(const PosixPortDriver&) = delete;
    PosixPortDriver& operator=(const PosixPortDriver&) = delete;

    PortFailure LastFailure() const override {
        if (m_lastError != 0) {
            return posix::RunFailure(m_lastError);
        }
        return m_stalled.value_or(PortFailure{});
    }

    // The kernel's queues have fixed sizes.
    bool SetupQueues(uint32_t, uint32_t) override { return !m_failed; }

    bool ClearErrors(QueueCounts* counts) override {
        int in = 0;
        int out = 0;
        if (m_failed || ioctl(m_fd, FIONREAD, &in) != 0 || ioctl(m_fd, TIOCOUTQ, &out) != 0) {
            return Failed();
        }
        if (counts != nullptr) {
            counts->inQueue = static_cast<uint32_t>(m_input.size() + static_cast<size_t>(in));
            counts->outQueue = static_cast<uint32_t>(out);
        }
        return true;
    }

    bool Purge(bool input, bool output) override {
        if (input) {
            m_input.clear();
        }
        return (!m_failed && tty::Flush(m_fd, input, output)) || Failed();
    }

    bool SetBreak(bool on) override {
        return (!m_failed && ioctl(m_fd, on ? TIOCSBRK : TIOCCBRK) == 0) || Failed();
    }

    bool GetSettings(LineSettings* settings) override {
        LineSettings read = m_kept;
        if (m_failed || !tty::ReadLineSettings(m_fd, &read)) {
            return Failed();
        }
        *settings = read;
        m_baudRate = read.baudRate;
        return true;
    }

    bool SetSettings(const LineSettings& settings) override {
        DrainOutput();
        if (m_failed || !tty::WriteLineSettings(m_fd, settings)) {
            return Failed();
        }
        // What termios has no place for is kept here and reported back.
        m_kept.binary = settings.binary;
        m_kept.abortOnError = settings.abortOnError;
        m_baudRate = settings.baudRate;
        return true;
    }

    // Hands the bytes over and waits until they have left, by the drivers' common rule.
    bool Write(const uint8_t* data, uint32_t n) override {
        if (m_failed) {
            return false;
        }
        IClock& clock = SystemClock();
        const uint32_t now = clock.NowMs();
        // The line sends these bytes after those before them.
        m_lineFreeAt =
            (TimeReached(now, m_lineFreeAt) ? now : m_lineFreeAt) + LineTimeMs(n, m_baudRate);
        Output output(*this);
        const bounded_write::Result result =
            bounded_write::Write(output, clock, data, n, m_baudRate);
        if (result.outcome == bounded_write::Outcome::Stalled) {
            m_stalled = bounded_write::StalledFailure(n, result);
        }
        return result.outcome == bounded_write::Outcome::Written;
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
        while (done < n) {
            const ssize_t got = read(m_fd, data + done, n - done);
            if (got > 0) {
                done += static_cast<uint32_t>(got);
            } else if (!(got < 0 && errno == EINTR)) {
                return Failed();  // fewer bytes than were queued
            }
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
            int out = 0;
            if (ioctl(m_fd, TIOCOUTQ, &out) != 0) {
                Failed();
                m_failed = true;
                return;
            }
            const uint32_t drainMs =
                std::max<uint32_t>(1, LineTimeMs(static_cast<uint64_t>(out), m_baudRate));
            clock.SleepUntilMs(clock.NowMs() +
                               std::min<uint32_t>(drainMs, static_cast<uint32_t>(remaining)));
            return;
        }
        // Take what the kernel holds so that poll() waits for the next byte. Bytes taken now
        // may be what the caller waits for: it re-checks before any blocking.
        if (TakeKernelInput()) {
            return;
        }
        if (m_input.size() >= kMaxBufferedInput) {
            clock.SleepUntilMs(clock.NowMs() + 1);
            return;
        }
        PollFor(POLLIN, clock, deadlineMs);
    }

  private:
    // The device's side of the write rule.
    class Output final : public bounded_write::IDevice {
      public:
        explicit Output(PosixPortDriver& driver) : m_driver(driver) {}
        int64_t Hand(const uint8_t* data, uint32_t n, uint32_t deadlineMs) override {
            for (;;) {
                const ssize_t written = write(m_driver.m_fd, data, n);
                if (written >= 0) {
                    return written;
                }
                if (errno == EINTR) {
                    continue;
                }
                if (errno != EAGAIN && errno != EWOULDBLOCK) {
                    m_driver.Failed();
                    return -1;
                }
                if (!m_driver.PollFor(POLLOUT, SystemClock(), deadlineMs)) {
                    return m_driver.m_failed ? -1 : 0;
                }
            }
        }
        bool Unsent(uint32_t* count) override {
            int out = 0;
            if (ioctl(m_driver.m_fd, TIOCOUTQ, &out) != 0) {
                m_driver.Failed();
                return false;
            }
            *count = static_cast<uint32_t>(out);
            return true;
        }

      private:
        PosixPortDriver& m_driver;
    };

    // Waits until the kernel's output queue is empty; false when `giveUpAt` comes first or the
    // queue cannot be read.
    bool WaitQueueEmpty(IClock& clock, uint32_t giveUpAt) {
        for (;;) {
            int out = 0;
            if (ioctl(m_fd, TIOCOUTQ, &out) != 0) {
                return false;
            }
            if (out == 0) {
                return true;
            }
            const int remaining = RemainingMs(clock, giveUpAt);
            if (remaining == 0) {
                return false;
            }
            const uint32_t drainMs =
                std::max<uint32_t>(1, LineTimeMs(static_cast<uint64_t>(out), m_baudRate));
            clock.SleepUntilMs(clock.NowMs() +
                               std::min<uint32_t>(drainMs, static_cast<uint32_t>(remaining)));
        }
    }

    // Waits until the bytes written have left the line (see the top of the file), at most twice
    // the line time of what is still queued plus the write slack.
    void DrainOutput() {
        int queued = 0;
        if (m_failed || ioctl(m_fd, TIOCOUTQ, &queued) != 0) {
            return;
        }
        IClock& clock = SystemClock();
        const uint32_t giveUpAt =
            clock.NowMs() + bounded_write::AllowanceMs(static_cast<uint32_t>(queued), m_baudRate);
        if (!WaitQueueEmpty(clock, giveUpAt)) {
            return;
        }
        int lineStatus = 0;
        if (ioctl(m_fd, TIOCSERGETLSR, &lineStatus) == 0) {
            while ((lineStatus & TIOCSER_TEMT) == 0 && RemainingMs(clock, giveUpAt) > 0) {
                clock.SleepUntilMs(clock.NowMs() + LineTimeMs(1, m_baudRate));
                if (ioctl(m_fd, TIOCSERGETLSR, &lineStatus) != 0) {
                    return;
                }
            }
            return;
        }
        if (!TimeReached(clock.NowMs(), m_lineFreeAt)) {
            clock.SleepUntilMs(Earlier(m_lineFreeAt, giveUpAt));
        }
    }

    // Keeps errno as the reason for the failure being reported (the first reason once the port
    // has failed for good); returns false.
    bool Failed() {
        if (!m_failed || m_lastError == 0) {
            m_lastError = errno;
        }
        return false;
    }

    // Waits for `events` until `deadlineMs` on `clock`; false on time-out or when the device has
    // gone (then the port fails). A signal neither shortens nor lengthens the wait.
    bool PollFor(short events, IClock& clock, uint32_t deadlineMs) {
        pollfd p{m_fd, events, 0};
        int ready = 0;
        do {
            ready = poll(&p, 1, RemainingMs(clock, deadlineMs));
        } while (ready < 0 && errno == EINTR);
        if (ready < 0 || (p.revents & (POLLERR | POLLHUP | POLLNVAL)) != 0) {
            m_lastError = ready < 0 ? errno : EIO;  // a hang-up: the device has gone
            m_failed = true;
            return false;
        }
        return ready > 0;
    }

    // Moves the kernel's queued input into m_input; true when any byte was taken.
    bool TakeKernelInput() {
        bool took = false;
        uint8_t chunk[512];
        while (m_input.size() < kMaxBufferedInput) {
            const size_t room = std::min(sizeof chunk, kMaxBufferedInput - m_input.size());
            const ssize_t got = read(m_fd, chunk, room);
            if (got > 0) {
                m_input.insert(m_input.end(), chunk, chunk + got);
                took = true;
            } else if (!(got < 0 && errno == EINTR)) {
                break;
            }
        }
        return took;
    }

    int m_fd;
    port_registry::Ticket m_ticket = port_registry::kNoTicket;
    bool m_failed = false;  // the device went away or failed; every operation fails from now
    int m_lastError = 0;    // errno of the latest failure, 0 while none
    uint32_t m_baudRate = 9600;
    uint32_t m_lineFreeAt;  // when the last byte written has had the time to leave the line
    LineSettings m_kept;
    std::deque<uint8_t> m_input;
    std::optional<PortFailure> m_stalled;  // the latest write that gave up, while none failed
};

// Names the programs holding the device when `failure` says it is in use.
PortFailure WithHolders(PortFailure failure, const std::string& path) {
    struct stat info {};
    if (failure.problem == PortProblem::InUse && stat(path.c_str(), &info) == 0) {
        failure.detail = posix::HoldersOf(info.st_rdev);
    }
    return failure;
}

// The programs other than this one holding the serial device at `path` open, or empty. The
// other side of a pseudo-terminal always has a program (the virtual camera): it is not asked.
std::string OtherHolders(const std::string& path) {
    struct stat info {};
    if (stat(path.c_str(), &info) != 0 || posix::IsPseudoTerminal(info.st_rdev)) {
        return {};
    }
    return posix::HoldersOf(info.st_rdev);
}

// Opens the terminal at `path` exclusively and makes it raw; null with the reason in `why`. When
// `searching`, a device another program holds open is refused before it is opened; otherwise
// the holders are named in why.detail of the port opened all the same.
std::unique_ptr<IPortDriver> OpenTerminal(const std::string& path, bool searching,
                                          PortFailure& why) {
    why = posix::CheckTerminalPath(path);
    if (why.problem != PortProblem::None) {
        return nullptr;
    }
    const std::string holders = OtherHolders(path);
    if (searching && !holders.empty()) {
        why = posix::OpenFailure(EBUSY, path);
        why.detail = holders;
        return nullptr;
    }
    const int fd = open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        why = WithHolders(posix::OpenFailure(errno, path), path);
        return nullptr;
    }
    // Until this opening holds the device, closing must leave another holder's claims alone.
    const auto refuse = [&](int error) -> std::unique_ptr<IPortDriver> {
        close(fd);
        why = WithHolders(posix::OpenFailure(error, path), path);
        return nullptr;
    };
    if (isatty(fd) == 0) {
        return refuse(ENOTTY);
    }
    if (flock(fd, LOCK_EX | LOCK_NB) != 0) {
        return refuse(errno);
    }
    int exclusive = 0;
    if (ioctl(fd, TIOCGEXCL, &exclusive) == 0 && exclusive != 0) {
        return refuse(EBUSY);  // held exclusively by another program
    }
    if (ioctl(fd, TIOCEXCL) != 0) {
        return refuse(errno);
    }
    // The driver owns the descriptor from here: its destructor closes it on every failure.
    auto driver = std::make_unique<PosixPortDriver>(fd);
    LineSettings settings;
    if (!tty::MakeRaw(fd)) {
        why = posix::OpenFailure(errno, path);
        why.problem = PortProblem::SetupFailed;
        return nullptr;
    }
    if (!driver->GetSettings(&settings)) {
        why = driver->LastFailure();
        why.problem = PortProblem::SetupFailed;
        return nullptr;
    }
    why = PortFailure{PortProblem::None, 0, {}, holders};
    return driver;
}

}  // namespace

std::unique_ptr<IPortDriver> CPosixPortSystem::Open(const std::string& name, PortFailure* failure) {
    return OpenSlot(name, false, failure);
}

std::unique_ptr<IPortDriver> CPosixPortSystem::OpenToSearch(const std::string& name,
                                                            PortFailure* failure) {
    return OpenSlot(name, true, failure);
}

std::unique_ptr<IPortDriver> CPosixPortSystem::OpenSlot(const std::string& name, bool searching,
                                                        PortFailure* failure) {
    PortFailure why{PortProblem::NoDevice, 0, "no device stands for " + name, {}};
    std::unique_ptr<IPortDriver> port;
    if (name.size() == 4 && name.compare(0, 3, "COM") == 0 && name[3] >= '1' && name[3] <= '4') {
        const std::string& path = m_map.com[static_cast<size_t>(name[3] - '1')].device;
        if (!path.empty()) {
            port = OpenTerminal(path, searching, why);
        }
    }
    if (failure != nullptr) {
        *failure = std::move(why);
    }
    return port;
}

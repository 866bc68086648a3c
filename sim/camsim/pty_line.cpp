// The camera's end of a pseudo-terminal master in real time, with optional line-time pacing.
#include <errno.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>

#include "sim/camsim/camsim.hpp"

namespace camsim {

namespace {

uint64_t MonotonicNs() {
    timespec ts{};
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return static_cast<uint64_t>(ts.tv_sec) * 1'000'000'000u + static_cast<uint64_t>(ts.tv_nsec);
}

}  // namespace

PtyLine::PtyLine(int masterFd, bool lineTime)
    : m_fd(masterFd), m_lineTime(lineTime), m_startNs(MonotonicNs()) {}

uint64_t PtyLine::NowUs() {
    return (MonotonicNs() - m_startNs) / 1000;
}

void PtyLine::Send(const uint8_t* data, size_t n) {
    if (m_output.empty()) {
        m_nextOutUs = std::max(m_nextOutUs, NowUs());
    }
    m_output.insert(m_output.end(), data, data + n);
    WriteDueOutput();
}

// With line time, the byte written last is still on the wire until its slot ends.
size_t PtyLine::PendingOutput() {
    const bool onWire = m_lineTime && m_nextOutUs > NowUs();
    return m_output.size() + (onWire ? 1 : 0);
}

sim::ICameraLine::TimerId PtyLine::After(uint64_t delayUs, std::function<void()> fn) {
    const TimerId id = m_nextTimer++;
    const uint64_t due = NowUs() + delayUs;
    m_timers.emplace(std::make_pair(due, id), std::move(fn));
    m_timerDue.emplace(id, due);
    return id;
}

void PtyLine::CancelTimer(TimerId id) {
    const auto found = m_timerDue.find(id);
    if (found == m_timerDue.end()) {
        return;
    }
    m_timers.erase(std::make_pair(found->second, id));
    m_timerDue.erase(found);
}

// Writes what may go now: everything without line time, otherwise the bytes whose time slot has
// begun. A pty that takes nothing more leaves the rest queued until it is writable.
void PtyLine::WriteDueOutput() {
    const uint64_t now = NowUs();
    const uint64_t byteUs = sim::ByteTimeUs(m_baud);
    size_t count = m_output.size();
    if (m_lineTime) {
        count = m_nextOutUs > now ? 0 : std::min<uint64_t>(count, (now - m_nextOutUs) / byteUs + 1);
    }
    m_blocked = false;
    while (count > 0) {
        uint8_t chunk[512];
        const size_t n = std::min(count, sizeof chunk);
        std::copy_n(m_output.begin(), n, chunk);
        const ssize_t written = write(m_fd, chunk, n);
        if (written <= 0) {
            m_blocked = written < 0 && (errno == EAGAIN || errno == EWOULDBLOCK);
            if (!m_blocked) {
                m_output.clear();  // the pty is gone: nothing can be sent any more
            }
            return;
        }
        const auto done = static_cast<size_t>(written);
        m_output.erase(m_output.begin(), m_output.begin() + static_cast<std::ptrdiff_t>(done));
        count -= done;
        if (m_lineTime) {
            m_nextOutUs += done * byteUs;
        }
    }
}

bool PtyLine::ReadMaster() {
    uint8_t buffer[1024];
    const ssize_t n = read(m_fd, buffer, sizeof buffer);
    if (n < 0) {
        return errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR || errno == EIO;
    }
    const uint64_t now = NowUs();
    const uint64_t byteUs = sim::ByteTimeUs(m_baud);
    for (ssize_t i = 0; i < n; ++i) {
        uint64_t due = now;
        if (m_lineTime) {
            due = std::max(now, m_lastDeliverUs + byteUs);
            m_lastDeliverUs = due;
        }
        m_input.push_back({buffer[i], due});
    }
    return true;
}

void PtyLine::RunDue() {
    for (;;) {
        const uint64_t now = NowUs();
        const uint64_t nextTimer = m_timers.empty() ? UINT64_MAX : m_timers.begin()->first.first;
        const uint64_t nextByte = m_input.empty() ? UINT64_MAX : m_input.front().dueUs;
        if (std::min(nextTimer, nextByte) > now) {
            break;
        }
        // Earlier first; a byte before a timer of the same moment.
        if (nextByte <= nextTimer) {
            const Incoming incoming = m_input.front();
            m_input.pop_front();
            if (m_receiver != nullptr) {
                m_deliveryUs = incoming.dueUs;
                m_receiver->OnByte(incoming.byte);
                m_deliveryUs.reset();
            }
        } else {
            auto node = m_timers.extract(m_timers.begin());
            m_timerDue.erase(node.key().second);
            node.mapped()();
        }
    }
    if (!m_output.empty()) {
        WriteDueOutput();
    }
}

uint64_t PtyLine::NextWakeUs() const {
    uint64_t next = UINT64_MAX;
    if (!m_timers.empty()) {
        next = m_timers.begin()->first.first;
    }
    if (!m_input.empty()) {
        next = std::min(next, m_input.front().dueUs);
    }
    if (!m_output.empty() && !m_blocked) {
        next = std::min(next, m_lineTime ? m_nextOutUs : 0);
    }
    return next;
}

bool PtyLine::WantsWritable() const {
    return !m_output.empty() && m_blocked;
}

}  // namespace camsim

// The wire trace: one text line per port event, handed to the stream as it happens, and the
// summary of the run.
//
// Lines read like the virtual camera's log seen from the other end: "tx" is what the tool sent,
// "rx" what it read, single bytes as 0xNN, longer writes and reads as their length and bytes in
// hex (the 257-byte packets shortened to their first and last 8 data bytes and the XOR byte).
#include <algorithm>
#include <cstdio>
#include <ostream>
#include <string>

#include "camera/camera.hpp"
#include "camera/wire_bytes.hpp"

namespace {

constexpr uint32_t kShortenedBytes = 8;  // bytes shown at each end of a long packet

std::string Hex(const uint8_t* data, uint32_t n) {
    std::string text;
    text.reserve(static_cast<size_t>(n) * 3);
    for (uint32_t i = 0; i < n; ++i) {
        char byte[4];
        std::snprintf(byte, sizeof byte, i == 0 ? "%02X" : " %02X", data[i]);
        text += byte;
    }
    return text;
}

std::string ByteText(uint8_t byte) {
    char text[8];
    std::snprintf(text, sizeof text, "0x%02X", byte);
    return text;
}

bool IsCommandPacket(const uint8_t* data, uint32_t n) {
    return n == wire::kCommandLength && data[n - 2] == 0 && data[n - 1] == wire::kCommandEnd;
}

// What a write or a read carried: "0xD1", "command 0x7F [7F ... 1A]", "12 bytes [...]", or for a
// 257-byte packet its first and last 8 data bytes and its XOR byte.
std::string Carried(const uint8_t* data, uint32_t n) {
    if (n == 1) {
        return ByteText(data[0]);
    }
    if (IsCommandPacket(data, n)) {
        return "command " + ByteText(data[0]) + " [" + Hex(data, n) + "]";
    }
    const std::string length = std::to_string(n) + " bytes ";
    if (n == static_cast<uint32_t>(wire::kLongFrame)) {
        const uint32_t payload = n - 1;
        return length + "[" + Hex(data, kShortenedBytes) + " .. " +
               Hex(data + payload - kShortenedBytes, kShortenedBytes) + "] XOR " +
               ByteText(data[payload]);
    }
    return length + "[" + Hex(data, n) + "]";
}

std::string SettingsText(const LineSettings& s) {
    static const char kParity[] = "NOEMS";
    static const char* const kStopBits[] = {"1", "1.5", "2"};
    char text[160];
    std::snprintf(text, sizeof text, "settings %u bit/s %u%c%s%s%s%s", s.baudRate, s.byteSize,
                  s.parity < 5 ? kParity[s.parity] : '?',
                  s.stopBits < 3 ? kStopBits[s.stopBits] : "?", s.binary ? ", binary" : "",
                  s.parityCheck ? ", parity check" : "", s.abortOnError ? ", abort on error" : "");
    return text;
}

bool SameExceptSpeed(const LineSettings& a, const LineSettings& b) {
    return a.binary == b.binary && a.parityCheck == b.parityCheck &&
           a.abortOnError == b.abortOnError && a.byteSize == b.byteSize && a.parity == b.parity &&
           a.stopBits == b.stopBits;
}

// "1 byte", "2 bytes".
std::string Bytes(uint64_t n) {
    return std::to_string(n) + (n == 1 ? " byte" : " bytes");
}

std::string Failed(bool ok) {
    return ok ? "" : " failed";
}

}  // namespace

CWireTrace::CWireTrace(std::ostream& out) : m_out(out), m_originMs(NowMs()) {
    Write("# tk358fw wire trace, started " + WallClockText() +
          "; times in milliseconds since then\n");
}

CWireTrace::~CWireTrace() {
    Finish();
}

void CWireTrace::Finish() {
    if (m_finished) {
        return;
    }
    Line(NowMs(), SummaryText());
    m_finished = true;
}

void CWireTrace::WatchEnding(std::function<void(const std::string&)> watcher) {
    m_endingWatcher = std::move(watcher);
    if (m_endingWatcher) {
        m_endingWatcher(EndingText());
    }
}

std::string CWireTrace::SummaryText() const {
    return "summary: commands sent " + std::to_string(m_commands) + ", retries " +
           std::to_string(m_retries) + ", refusals " + std::to_string(m_refusals) + ", time-outs " +
           std::to_string(m_timeouts) + ", bytes sent " + std::to_string(m_bytesSent) +
           ", bytes received " + std::to_string(m_bytesRead + m_bytesDiscarded) +
           " (discarded unread " + std::to_string(m_bytesDiscarded) + ")";
}

std::string CWireTrace::EndingText() const {
    if (m_finished) {
        return {};
    }
    const uint32_t atMs = m_lastLineMs;
    std::string ending;
    if (!m_openPort.empty()) {
        ending = LineText(atMs, "close " + m_openPort);
    }
    return ending + LineText(atMs, SummaryText());
}

std::string CWireTrace::LineText(uint32_t atMs, const std::string& text) const {
    char time[16];
    std::snprintf(time, sizeof time, "%12u  ", atMs - m_originMs);
    return time + text + '\n';
}

void CWireTrace::Line(uint32_t atMs, const std::string& text) {
    if (m_finished) {
        return;
    }
    m_lastLineMs = atMs;
    Write(LineText(atMs, text));
    if (m_endingWatcher) {
        m_endingWatcher(EndingText());
    }
}

void CWireTrace::Write(const std::string& text) {
    m_out.write(text.data(), static_cast<std::streamsize>(text.size()));
    m_out.flush();
    if (!m_out) {
        m_failed = true;
    }
}

void CWireTrace::PortOpened(const std::string& name, const std::string& device, bool opened,
                            const std::string& reason) {
    std::string text = "open " + name + " (" + (device.empty() ? "no device" : device) + ")";
    if (!opened) {
        text += " failed" + (reason.empty() ? "" : ": " + reason);
    } else if (!reason.empty()) {
        text += "; " + reason;
    }
    m_settings.reset();
    m_openPort = opened ? name : std::string();
    Line(NowMs(), text);
}

void CWireTrace::PortClosed(const std::string& name) {
    m_settings.reset();
    m_openPort.clear();
    Line(NowMs(), "close " + name);
}

void CWireTrace::SettingsSet(const LineSettings& settings, bool ok) {
    const bool speedOnly = m_settings && SameExceptSpeed(*m_settings, settings);
    Line(NowMs(), (speedOnly ? "line speed " + std::to_string(settings.baudRate) + " bit/s"
                             : SettingsText(settings)) +
                      Failed(ok));
    if (ok) {
        m_settings = settings;
    }
}

void CWireTrace::BreakSet(bool on, bool ok) {
    Line(NowMs(), std::string(on ? "break on" : "break off") + Failed(ok));
}

void CWireTrace::QueuesCounted(const QueueCounts& counts) {
    m_counts = counts;
}

void CWireTrace::Purged(bool input, bool output, bool ok) {
    std::string text = "purge";
    if (input) {
        text += " input (" + Bytes(m_counts.inQueue) + " discarded)";
        m_bytesDiscarded += m_counts.inQueue;
        m_counts.inQueue = 0;
    }
    if (output) {
        text +=
            std::string(input ? " and" : "") + " output (" + Bytes(m_counts.outQueue) + " queued)";
        m_counts.outQueue = 0;
    }
    Line(NowMs(), text + Failed(ok));
}

void CWireTrace::Wrote(uint32_t atMs, const uint8_t* data, uint32_t n, bool ok) {
    if (n == 0) {
        return;
    }
    const bool again = CountWrite(data, n);
    if (ok) {
        m_bytesSent += n;
    }
    Line(atMs, "tx " + Carried(data, n) + (again ? " (again)" : "") + Failed(ok));
}

void CWireTrace::Read(const uint8_t* data, uint32_t n, bool ok) {
    if (n == 0) {
        return;
    }
    if (!ok) {
        Line(NowMs(), "rx of " + Bytes(n) + " failed");
        return;
    }
    m_bytesRead += n;
    bool again = false;
    bool refused = false;
    if (n == 1) {
        const uint8_t byte = data[0];
        if (byte == wire::kAccepted || byte == wire::kPacketAccepted) {
            m_acceptedSincePacket = true;
        }
        // 0xE1 to a command packet, 0xE3 to a data packet.
        refused = !m_lastPacket.empty() &&
                  byte == (m_lastPacketIsCommand ? wire::kCommandRefused : wire::kPacketAgain);
    } else {
        again = CountFrameAttempt(n);
    }
    m_refusals += refused ? 1 : 0;
    Line(NowMs(),
         "rx " + Carried(data, n) + (again ? " (again)" : "") + (refused ? " (refused)" : ""));
}

void CWireTrace::TimedOut(WaitFor what, uint32_t wanted, uint32_t queued) {
    ++m_timeouts;
    if (what == WaitFor::Input) {
        const bool again = wanted > 1 && CountFrameAttempt(wanted);
        Line(NowMs(), "time-out: " + Bytes(wanted) + " awaited, " + std::to_string(queued) +
                          " arrived" + (again ? " (again)" : ""));
    } else {
        Line(NowMs(), "time-out: " + Bytes(wanted) + " to write, " + std::to_string(queued) +
                          " still queued");
    }
}

// A packet written again unchanged with no accepting answer in between is a retry (a command
// packet after a missing acknowledgement, a data packet after 0xE3).
bool CWireTrace::CountWrite(const uint8_t* data, uint32_t n) {
    const bool reply = n == 1;
    if (!(reply && data[0] == wire::kPacketAgain)) {
        m_frameAttempt = 0;  // what comes next is a new data packet, not a repeated one
    }
    if (reply) {
        return false;
    }
    const bool again = !m_acceptedSincePacket && m_lastPacket.size() == n &&
                       std::equal(m_lastPacket.begin(), m_lastPacket.end(), data);
    m_lastPacket.assign(data, data + n);
    m_lastPacketIsCommand = IsCommandPacket(data, n);
    m_acceptedSincePacket = false;
    m_commands += m_lastPacketIsCommand ? 1 : 0;
    m_retries += again ? 1 : 0;
    return again;
}

// A data packet awaited again (after a wrong XOR byte, or after 0xE3 for a packet that did not
// come) with no other reply in between is a retry.
bool CWireTrace::CountFrameAttempt(uint32_t n) {
    const bool again = m_frameAttempt == n;
    m_frameAttempt = n;
    m_retries += again ? 1 : 0;
    return again;
}

// A serial line whose far end is a script of byte chunks, with its own millisecond clock.
//
// The port system opens every port name; the port it gives out takes every write at once and
// delivers the script's chunks: chunk k is released by the host's k-th write (the first chunk by
// the opening) and arrives whole after its delay. Waits move the clock straight to the next
// arrival or the deadline, so a time-out costs nothing. A chunk can also mark the moment from
// which the driver fails every operation.
//
// Script layout, chunk after chunk until the bytes run out:
//   flags  bits 0-1 delay (1, 60, 1,500 or 12,000 ms); bit 2 append the XOR of the data;
//          bit 3 two length bytes (big-endian) instead of one; bit 4 the driver fails from here;
//          bit 5 released with the chunk before it, its delay counted from that one's arrival
//   length one or two bytes, cut to what is left
//   data
#pragma once

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <memory>
#include <numeric>
#include <span>
#include <string>
#include <vector>

#include "serial/serial.hpp"

namespace fuzzline {

struct Chunk {
    uint32_t delayMs = 1;
    std::vector<uint8_t> data;
    bool failDriver = false;
    bool follows = false;
};

// Splits a script into chunks (layout above).
inline std::deque<Chunk> ParseScript(std::span<const uint8_t> script) {
    static constexpr std::array<uint32_t, 4> kDelays = {1, 60, 1500, 12000};
    std::deque<Chunk> chunks;
    size_t at = 0;
    while (at < script.size()) {
        const uint8_t flags = script[at++];
        size_t length = 0;
        if ((flags & 0x08) != 0) {
            for (int i = 0; i < 2 && at < script.size(); ++i) {
                length = (length << 8) | script[at++];
            }
        } else if (at < script.size()) {
            length = script[at++];
        }
        length = std::min(length, script.size() - at);
        Chunk chunk;
        chunk.delayMs = kDelays[flags & 0x03];
        chunk.data.assign(script.begin() + static_cast<std::ptrdiff_t>(at),
                          script.begin() + static_cast<std::ptrdiff_t>(at + length));
        at += length;
        if ((flags & 0x04) != 0) {
            const uint8_t x =
                std::accumulate(chunk.data.begin(), chunk.data.end(), uint8_t{0},
                                [](uint8_t a, uint8_t b) { return static_cast<uint8_t>(a ^ b); });
            chunk.data.push_back(x);
        }
        chunk.failDriver = (flags & 0x10) != 0;
        chunk.follows = (flags & 0x20) != 0;
        chunks.push_back(std::move(chunk));
    }
    return chunks;
}

class ScriptedLine final : public IClock, public IPortSystem {
  public:
    ScriptedLine(std::span<const uint8_t> script, uint32_t startMs)
        : m_chunks(ParseScript(script)), m_nowMs(startMs) {}

    // IClock
    uint32_t NowMs() override { return m_nowMs; }
    void SleepUntilMs(uint32_t ms) override { AdvanceTo(ms); }

    // IPortSystem
    std::unique_ptr<IPortDriver> Open(const std::string& name, PortFailure* failure) override;
    PortMap Ports() override { return {}; }

    // What the host wrote, in order (for checks by the caller).
    const std::vector<uint8_t>& Written() const { return m_written; }
    int Writes() const { return m_writes; }
    int OpenDrivers() const { return m_openDrivers; }
    uint32_t LongestWaitMs() const { return m_longestWaitMs; }

    // Port driver side.
    void ReleaseNextChunk() {
        if (m_chunks.empty()) {
            return;
        }
        uint32_t at = m_nowMs;
        do {
            Chunk chunk = std::move(m_chunks.front());
            m_chunks.pop_front();
            at += chunk.delayMs;
            m_scheduled.push_back({at, std::move(chunk)});
        } while (!m_chunks.empty() && m_chunks.front().follows);
    }
    void Wait(uint32_t deadlineMs) {
        const uint32_t waited = deadlineMs - m_nowMs;
        if (static_cast<int32_t>(waited) <= 0) {
            return;
        }
        m_longestWaitMs = std::max(m_longestWaitMs, waited);
        uint32_t until = deadlineMs;
        for (const auto& s : m_scheduled) {
            if (!TimeReached(s.atMs, until)) {
                until = s.atMs;
            }
        }
        AdvanceTo(until);
    }
    void Deliver() {
        for (auto it = m_scheduled.begin(); it != m_scheduled.end();) {
            if (TimeReached(m_nowMs, it->atMs)) {
                if (it->chunk.failDriver) {
                    m_failed = true;
                }
                m_input.insert(m_input.end(), it->chunk.data.begin(), it->chunk.data.end());
                it = m_scheduled.erase(it);
            } else {
                ++it;
            }
        }
        if (m_input.size() > kPortBufferSize) {
            m_input.resize(kPortBufferSize);  // the driver's queue holds no more
        }
    }

    std::deque<uint8_t> m_input;
    std::vector<uint8_t> m_written;
    int m_writes = 0;
    int m_openDrivers = 0;
    bool m_failed = false;

  private:
    struct Scheduled {
        uint32_t atMs;
        Chunk chunk;
    };
    void AdvanceTo(uint32_t ms) {
        if (!TimeReached(ms, m_nowMs)) {
            return;
        }
        m_nowMs = ms;
        Deliver();
    }

    std::deque<Chunk> m_chunks;
    std::vector<Scheduled> m_scheduled;
    uint32_t m_nowMs;
    uint32_t m_longestWaitMs = 0;
};

class ScriptedDriver final : public IPortDriver {
  public:
    explicit ScriptedDriver(ScriptedLine& line) : m_line(line) {
        ++m_line.m_openDrivers;
        m_line.ReleaseNextChunk();
    }
    ~ScriptedDriver() override { --m_line.m_openDrivers; }
    ScriptedDriver(const ScriptedDriver&) = delete;
    ScriptedDriver& operator=(const ScriptedDriver&) = delete;

    PortFailure LastFailure() const override {
        return m_line.m_failed ? PortFailure{PortProblem::DeviceGone, 0, "scripted failure", {}}
                               : PortFailure{};
    }
    bool SetupQueues(uint32_t, uint32_t) override { return !m_line.m_failed; }
    bool ClearErrors(QueueCounts* counts) override {
        m_line.Deliver();
        if (counts != nullptr) {
            counts->inQueue = static_cast<uint32_t>(m_line.m_input.size());
            counts->outQueue = 0;
        }
        return !m_line.m_failed;
    }
    bool Purge(bool input, bool) override {
        if (input) {
            m_line.m_input.clear();
        }
        return !m_line.m_failed;
    }
    bool SetBreak(bool) override { return !m_line.m_failed; }
    bool GetSettings(LineSettings* settings) override {
        *settings = m_settings;
        return !m_line.m_failed;
    }
    bool SetSettings(const LineSettings& settings) override {
        m_settings = settings;
        return !m_line.m_failed;
    }
    bool Write(const uint8_t* data, uint32_t n) override {
        if (m_line.m_failed) {
            return false;
        }
        m_line.m_written.insert(m_line.m_written.end(), data, data + n);
        ++m_line.m_writes;
        m_line.ReleaseNextChunk();
        return true;
    }
    bool Read(uint8_t* data, uint32_t n) override {
        if (m_line.m_failed || n > m_line.m_input.size()) {
            return false;
        }
        std::copy_n(m_line.m_input.begin(), n, data);
        m_line.m_input.erase(m_line.m_input.begin(), m_line.m_input.begin() + n);
        return true;
    }
    void WaitForChange(WaitFor, uint32_t deadlineMs) override { m_line.Wait(deadlineMs); }

  private:
    ScriptedLine& m_line;
    LineSettings m_settings;
};

inline std::unique_ptr<IPortDriver> ScriptedLine::Open(const std::string&, PortFailure*) {
    return std::make_unique<ScriptedDriver>(*this);
}

// The clock reading a run starts at: early, or just before the 32-bit millisecond clock wraps.
inline uint32_t StartClockFor(uint8_t selector) {
    static constexpr std::array<uint32_t, 4> kStarts = {0, 1'000'000, 0xFFFFFFFFu - 2'500,
                                                        0xFFFFFFFFu - 40'000};
    return kStarts[selector & 0x03];
}

}  // namespace fuzzline

// The wire trace of one short exchange on the virtual line, compared with what the line carried:
// a status request whose first data packet has a wrong XOR byte and is sent again.
#include <gtest/gtest.h>

#include <cstdio>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "camera/camera_bench.hpp"

namespace {

std::string Hex(const std::vector<uint8_t>& bytes) {
    std::string text;
    for (uint8_t b : bytes) {
        char hex[4];
        std::snprintf(hex, sizeof hex, text.empty() ? "%02X" : " %02X", b);
        text += hex;
    }
    return text;
}

struct TraceLine {
    uint32_t ms;
    std::string text;
};

std::vector<TraceLine> Events(const std::string& trace) {
    std::vector<TraceLine> lines;
    std::istringstream in(trace);
    std::string line;
    while (std::getline(in, line)) {
        if (line.rfind('#', 0) != 0) {
            lines.push_back({static_cast<uint32_t>(std::stoul(line)), line.substr(14)});
        }
    }
    return lines;
}

TEST(WireTrace, StatusRequestWithABadXorAndItsRetry) {
    sim::VirtualClock clock;
    ScopedClock scopedClock(clock);
    sim::VirtualLine line(clock);
    sim::VirtualCamera camera(line.CameraEnd());
    line.AttachCamera(&camera);
    sim::VirtualPortSystem ports;
    ports.Connect(1, &line);
    ports.Describe(1, PortInfo{"virtual line", "", ""});
    camera.Faults().badXorOnPacket = 1;

    std::ostringstream out;
    CWireTrace trace(out);
    CTracingPortSystem traced(ports, trace);
    camtest::TestLink link(traced);
    ASSERT_EQ(link.OpenPort(1), kStatusOk);
    link.StatusRequest();
    ASSERT_EQ(link.m_status, kStatusOk);
    // What a run ended now would add: the open port's closing and the summary.
    const std::string ending = trace.EndingText();
    EXPECT_NE(ending.find("  close COM1\n"), std::string::npos) << ending;
    EXPECT_NE(ending.find("  summary: commands sent 1, retries 1,"), std::string::npos) << ending;
    link.ClosePort();
    EXPECT_EQ(trace.EndingText().find("close"), std::string::npos);
    trace.Finish();
    EXPECT_EQ(trace.EndingText(), "");

    // What the line carried: the command packet the camera received, and the status block it
    // sent twice, first with its XOR byte spoilt.
    ASSERT_EQ(camera.Commands().size(), 1u);
    const std::vector<uint8_t> command(camera.Commands()[0].packet.begin(),
                                       camera.Commands()[0].packet.end());
    std::vector<uint8_t> payload(256, 0);
    const auto block = camera.BuildStatusBlock();
    std::copy(block.begin(), block.end(), payload.begin());
    uint8_t x = 0;
    for (uint8_t b : payload) {
        x = static_cast<uint8_t>(x ^ b);
    }
    const std::string packet = "257 bytes [" + Hex({payload.begin(), payload.begin() + 8}) +
                               " .. " + Hex({payload.end() - 8, payload.end()}) + "] XOR ";
    const std::string good = Hex({x});
    const std::string bad = Hex({static_cast<uint8_t>(x ^ 0xFF)});

    const std::vector<TraceLine> events = Events(out.str());
    std::vector<std::string> texts;
    for (const TraceLine& e : events) {
        texts.push_back(e.text);
    }
    const std::vector<std::string> expected = {
        "open COM1 (virtual line)",
        "settings 9600 bit/s 8N1, binary, parity check, abort on error",
        "tx command 0x7F [" + Hex(command) + "]",
        "rx 0xD1",
        "rx " + packet + "0x" + bad,
        "rx " + packet + "0x" + good + " (again)",
        "tx 0xD2",
        "purge output (1 byte queued)",  // the answer byte's purge, after it was taken
        "rx 0x00",
        "close COM1",
        "summary: commands sent 1, retries 1, refusals 0, time-outs 0, bytes sent 9, bytes "
        "received 516 (discarded unread 0)",
    };
    EXPECT_EQ(texts, expected) << out.str();

    // The times: the settings after the 100 ms of the opening, the command 200 ms later (the
    // pacing after an opening), and the packet sent again once the camera has waited 3 s for an
    // answer after the first one left: 3 s and the 268 ms line time of 257 bytes at 9,600 bit/s.
    ASSERT_EQ(events.size(), expected.size());
    EXPECT_EQ(events[0].ms, 0u);
    EXPECT_EQ(events[1].ms, 100u);
    EXPECT_EQ(events[2].ms, 300u);
    EXPECT_NEAR(events[5].ms - events[4].ms, 3268, 2);
}

// A driver whose every write gives up at its deadline, as an adapter that stops taking output.
class StalledWrites final : public IPortSystem {
  public:
    explicit StalledWrites(IPortSystem& inner) : m_inner(inner) {}
    std::unique_ptr<IPortDriver> Open(const std::string& name, PortFailure* failure) override {
        class Driver final : public IPortDriver {
          public:
            explicit Driver(std::unique_ptr<IPortDriver> inner) : m_inner(std::move(inner)) {}
            PortFailure LastFailure() const override { return m_failure; }
            bool SetupQueues(uint32_t in, uint32_t out) override {
                return m_inner->SetupQueues(in, out);
            }
            bool ClearErrors(QueueCounts* counts) override { return m_inner->ClearErrors(counts); }
            bool Purge(bool in, bool out) override { return m_inner->Purge(in, out); }
            bool SetBreak(bool on) override { return m_inner->SetBreak(on); }
            bool GetSettings(LineSettings* s) override { return m_inner->GetSettings(s); }
            bool SetSettings(const LineSettings& s) override { return m_inner->SetSettings(s); }
            bool Write(const uint8_t*, uint32_t n) override {
                m_failure = {PortProblem::OutputStalled, 0, std::to_string(n) + " of ...", {}};
                return false;
            }
            bool Read(uint8_t* data, uint32_t n) override { return m_inner->Read(data, n); }
            void WaitForChange(WaitFor what, uint32_t deadlineMs) override {
                m_inner->WaitForChange(what, deadlineMs);
            }

          private:
            std::unique_ptr<IPortDriver> m_inner;
            PortFailure m_failure;
        };
        std::unique_ptr<IPortDriver> port = m_inner.Open(name, failure);
        return port ? std::make_unique<Driver>(std::move(port)) : nullptr;
    }
    PortMap Ports() override { return m_inner.Ports(); }

  private:
    IPortSystem& m_inner;
};

// The summary counts what went wrong: a lost acknowledgement is a retry of the command, a write
// that gave up at its deadline a time-out (and the port keeps the reason).
TEST(WireTrace, LostAcknowledgementIsARetryAndAStalledWriteATimeout) {
    for (const bool stalled : {false, true}) {
        sim::VirtualClock clock;
        ScopedClock scopedClock(clock);
        sim::VirtualLine line(clock);
        sim::VirtualCamera camera(line.CameraEnd());
        line.AttachCamera(&camera);
        sim::VirtualPortSystem ports;
        ports.Connect(1, &line);
        StalledWrites stalling(ports);

        std::ostringstream out;
        CWireTrace trace(out);
        CTracingPortSystem traced(stalled ? static_cast<IPortSystem&>(stalling) : ports, trace);
        camtest::TestLink link(traced);
        ASSERT_EQ(link.OpenPort(1), kStatusOk);
        // The camera hears the first command packet only after its acknowledgement is due.
        camera.Faults().unplugged = true;
        clock.After(1'000'000, [&camera] { camera.Faults().unplugged = false; });
        link.StatusRequest();
        const std::vector<PortAttempt> tried = link.PortsTried();
        link.ClosePort();
        trace.Finish();

        const std::string text = out.str();
        if (stalled) {
            EXPECT_EQ(link.m_status, kStatusPortFailed);
            EXPECT_NE(text.find("time-out: 8 bytes to write"), std::string::npos) << text;
            EXPECT_NE(text.find("retries 0, refusals 0, time-outs 1,"), std::string::npos) << text;
            ASSERT_FALSE(tried.empty());
            EXPECT_EQ(tried.back().failure.problem, PortProblem::OutputStalled);
        } else {
            EXPECT_EQ(link.m_status, kStatusOk);
            EXPECT_NE(text.find("tx command 0x7F [7F 00 00 00 00 00 00 1A] (again)"),
                      std::string::npos)
                << text;
            EXPECT_NE(text.find("retries 1, refusals 0, time-outs 1,"), std::string::npos) << text;
        }
    }
}

}  // namespace

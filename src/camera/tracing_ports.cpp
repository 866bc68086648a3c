// The port seam with a wire trace: every operation is passed on unchanged and reported to the
// trace (the queue counts are only remembered, since the port layer polls them all the time).
#include <memory>
#include <string>
#include <utility>

#include "camera/camera.hpp"

namespace {

class CTracingPortDriver final : public IPortDriver {
  public:
    CTracingPortDriver(std::unique_ptr<IPortDriver> inner, CWireTrace& trace, std::string name)
        : m_inner(std::move(inner)), m_trace(trace), m_name(std::move(name)) {}

    ~CTracingPortDriver() override {
        m_inner.reset();
        m_trace.PortClosed(m_name);
    }

    CTracingPortDriver(const CTracingPortDriver&) = delete;
    CTracingPortDriver& operator=(const CTracingPortDriver&) = delete;

    PortFailure LastFailure() const override { return m_inner->LastFailure(); }

    bool SetupQueues(uint32_t inBytes, uint32_t outBytes) override {
        return m_inner->SetupQueues(inBytes, outBytes);
    }

    bool ClearErrors(QueueCounts* counts) override {
        QueueCounts seen;
        if (!m_inner->ClearErrors(&seen)) {
            return false;
        }
        m_trace.QueuesCounted(seen);
        if (counts != nullptr) {
            *counts = seen;
        }
        return true;
    }

    bool Purge(bool input, bool output) override {
        const bool ok = m_inner->Purge(input, output);
        m_trace.Purged(input, output, ok);
        return ok;
    }

    bool SetBreak(bool on) override {
        const bool ok = m_inner->SetBreak(on);
        m_trace.BreakSet(on, ok);
        return ok;
    }

    bool GetSettings(LineSettings* settings) override { return m_inner->GetSettings(settings); }

    bool SetSettings(const LineSettings& settings) override {
        const bool ok = m_inner->SetSettings(settings);
        m_trace.SettingsSet(settings, ok);
        return ok;
    }

    bool Write(const uint8_t* data, uint32_t n) override {
        const uint32_t startedMs = NowMs();
        const bool ok = m_inner->Write(data, n);
        m_trace.Wrote(startedMs, data, n, ok);
        return ok;
    }

    bool Read(uint8_t* data, uint32_t n) override {
        const bool ok = m_inner->Read(data, n);
        m_trace.Read(data, n, ok);
        return ok;
    }

    void WaitForChange(WaitFor what, uint32_t deadlineMs) override {
        m_inner->WaitForChange(what, deadlineMs);
    }

    void NoteTimeout(WaitFor what, uint32_t wanted, uint32_t queued) override {
        m_trace.TimedOut(what, wanted, queued);
        m_inner->NoteTimeout(what, wanted, queued);
    }

  private:
    std::unique_ptr<IPortDriver> m_inner;
    CWireTrace& m_trace;
    std::string m_name;
};

}  // namespace

CTracingPortSystem::CTracingPortSystem(IPortSystem& inner, CWireTrace& trace)
    : m_inner(inner), m_trace(trace) {}

std::unique_ptr<IPortDriver> CTracingPortSystem::Open(const std::string& name,
                                                      PortFailure* failure) {
    PortFailure why;
    std::unique_ptr<IPortDriver> port = m_inner.Open(name, &why);
    return Traced(name, std::move(port), std::move(why), failure);
}

std::unique_ptr<IPortDriver> CTracingPortSystem::OpenToSearch(const std::string& name,
                                                              PortFailure* failure) {
    PortFailure why;
    std::unique_ptr<IPortDriver> port = m_inner.OpenToSearch(name, &why);
    return Traced(name, std::move(port), std::move(why), failure);
}

std::unique_ptr<IPortDriver> CTracingPortSystem::Traced(const std::string& name,
                                                        std::unique_ptr<IPortDriver> port,
                                                        PortFailure why, PortFailure* failure) {
    std::string device;
    if (name.size() == 4 && name.compare(0, 3, "COM") == 0 && name[3] >= '1' && name[3] <= '4') {
        device = m_inner.Ports().com[static_cast<size_t>(name[3] - '1')].device;
    }
    std::string reason;
    if (port == nullptr) {
        reason = why.detail.empty() ? why.text : why.text + " (" + why.detail + ")";
    } else if (!why.detail.empty()) {
        reason = "also open in " + why.detail;
    }
    m_trace.PortOpened(name, device, port != nullptr, reason);
    if (failure != nullptr) {
        *failure = std::move(why);
    }
    if (!port) {
        return nullptr;
    }
    return std::make_unique<CTracingPortDriver>(std::move(port), m_trace, name);
}

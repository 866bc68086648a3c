// A port system whose ports keep the windows painting while they wait for the line: every wait
// is cut to one slice of at most kPumpIntervalMs after a pump. (Waits may return early; the port
// layer re-checks its condition and deadline and waits again.)
#pragma once

#include <memory>
#include <string>

#include "app/gui/ui_pump.hpp"
#include "serial/serial.hpp"

class CYieldingPortSystem final : public IPortSystem {
  public:
    CYieldingPortSystem(IPortSystem& inner, CUiPump& pump) : m_inner(inner), m_pump(pump) {}
    std::unique_ptr<IPortDriver> Open(const std::string& name, PortFailure* failure) override;
    PortMap Ports() override { return m_inner.Ports(); }

  private:
    IPortSystem& m_inner;
    CUiPump& m_pump;
};

class CYieldingPortDriver final : public IPortDriver {
  public:
    CYieldingPortDriver(std::unique_ptr<IPortDriver> inner, CUiPump& pump)
        : m_inner(std::move(inner)), m_pump(pump) {}

    PortFailure LastFailure() const override { return m_inner->LastFailure(); }
    bool SetupQueues(uint32_t inBytes, uint32_t outBytes) override {
        return m_inner->SetupQueues(inBytes, outBytes);
    }
    bool ClearErrors(QueueCounts* counts) override { return m_inner->ClearErrors(counts); }
    bool Purge(bool input, bool output) override { return m_inner->Purge(input, output); }
    bool SetBreak(bool on) override { return m_inner->SetBreak(on); }
    bool GetSettings(LineSettings* settings) override { return m_inner->GetSettings(settings); }
    bool SetSettings(const LineSettings& settings) override {
        return m_inner->SetSettings(settings);
    }
    bool Write(const uint8_t* data, uint32_t n) override { return m_inner->Write(data, n); }
    bool Read(uint8_t* data, uint32_t n) override { return m_inner->Read(data, n); }
    void WaitForChange(WaitFor what, uint32_t deadlineMs) override;
    void NoteTimeout(WaitFor what, uint32_t wanted, uint32_t queued) override {
        m_inner->NoteTimeout(what, wanted, queued);
    }

  private:
    std::unique_ptr<IPortDriver> m_inner;
    CUiPump& m_pump;
};

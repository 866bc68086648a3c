#include "app/desktop/desktop.hpp"

std::unique_ptr<IPortDriver> CYieldingPortSystem::Open(const std::string& name,
                                                       PortFailure* failure) {
    return Yielding(m_inner.Open(name, failure));
}

std::unique_ptr<IPortDriver> CYieldingPortSystem::OpenToSearch(const std::string& name,
                                                               PortFailure* failure) {
    return Yielding(m_inner.OpenToSearch(name, failure));
}

std::unique_ptr<IPortDriver> CYieldingPortSystem::Yielding(std::unique_ptr<IPortDriver> port) {
    if (!port) {
        return nullptr;
    }
    return std::make_unique<CYieldingPortDriver>(std::move(port), m_pump);
}

void CYieldingPortDriver::WaitForChange(WaitFor what, uint32_t deadlineMs) {
    m_pump.PumpIfDue();
    m_inner->WaitForChange(what, m_pump.SliceEnd(deadlineMs));
}

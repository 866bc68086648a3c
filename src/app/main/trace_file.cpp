#include "trace_file.hpp"

#include "app/app.hpp"

#include <cerrno>
#include <ostream>
#include <system_error>

CTraceFile::CTraceFile(const std::string& path, IPortSystem& ports) : m_path(path), m_ports(ports) {
    if (path.empty()) {
        return;
    }
    errno = 0;
    m_file.open(PathFromUtf8(path), std::ios::out | std::ios::trunc | std::ios::binary);
    if (!m_file) {
        const int error = errno;
        m_error = "cannot write the trace file " + path +
                  (error != 0 ? ": " + std::error_code(error, std::generic_category()).message()
                              : std::string());
        return;
    }
    m_trace = std::make_unique<CWireTrace>(m_file);
    if (!m_trace->Good()) {
        m_error = "cannot write the trace file " + path;
        m_trace.reset();
        return;
    }
    m_tracingPorts = std::make_unique<CTracingPortSystem>(m_ports, *m_trace);
}

IPortSystem& CTraceFile::Ports() {
    if (m_tracingPorts) {
        return *m_tracingPorts;
    }
    return m_ports;
}

bool CTraceFile::Finish(std::ostream& err) {
    if (!m_trace) {
        return true;
    }
    m_trace->Finish();
    const bool written = m_trace->Good();
    m_file.close();
    if (!written || m_file.fail()) {
        err << "tk358fw: the trace file " << m_path << " could not be written completely\n";
        return false;
    }
    return true;
}

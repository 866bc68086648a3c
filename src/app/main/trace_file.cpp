#include "trace_file.hpp"

#include <filesystem>
#include <ostream>
#include <system_error>

#include "app/app.hpp"
#include "trace_output.hpp"

CTraceFile::Output::int_type CTraceFile::Output::overflow(int_type c) {
    if (traits_type::eq_int_type(c, traits_type::eof())) {
        return traits_type::not_eof(c);
    }
    const char byte = traits_type::to_char_type(c);
    return xsputn(&byte, 1) == 1 ? c : traits_type::eof();
}

std::streamsize CTraceFile::Output::xsputn(const char* data, std::streamsize n) {
    return trace_output::Write(m_fd, data, static_cast<size_t>(n), &m_dropped) ? n : 0;
}

CTraceFile::CTraceFile(const std::string& path, IPortSystem& ports) : m_path(path), m_ports(ports) {
    if (path.empty()) {
        return;
    }
    std::string reason;
    m_fd = trace_output::Open(path, &reason);
    if (m_fd < 0) {
        m_error = "cannot write the trace file " + TerminalLine(path) + ": " + reason;
        return;
    }
    m_output = std::make_unique<Output>(m_fd);
    m_stream = std::make_unique<std::ostream>(m_output.get());
    m_trace = std::make_unique<CWireTrace>(*m_stream);
    if (!m_trace->Good()) {
        m_error = "cannot write the trace file " + TerminalLine(path);
        m_trace.reset();
        return;
    }
    const int fd = m_fd;
    m_trace->WatchEnding([fd](const std::string& ending) { last_words::Prepare(fd, ending); });
    m_tracingPorts = std::make_unique<CTracingPortSystem>(m_ports, *m_trace);
}

CTraceFile::~CTraceFile() {
    if (m_trace) {
        m_trace->WatchEnding({});
    }
    last_words::Prepare(-1, {});
    m_tracingPorts.reset();
    m_trace.reset();
    if (m_fd >= 0) {
        trace_output::Close(m_fd);
    }
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
    // The normal end writes the summary itself.
    m_trace->WatchEnding({});
    last_words::Prepare(-1, {});
    m_trace->Finish();
    const bool written = m_trace->Good();
    const bool closed = trace_output::Close(m_fd);
    m_fd = -1;
    if (!written || !closed) {
        err << "tk358fw: the trace file " << TerminalLine(m_path)
            << " could not be written completely\n";
        return false;
    }
    if (m_output->Dropped() > 0) {
        err << "tk358fw: " << m_output->Dropped() << " bytes of the trace were left out of "
            << TerminalLine(m_path) << ": the program reading it did not keep up\n";
        return false;
    }
    return true;
}

bool TraceWouldOverwrite(const std::string& tracePath, const std::string& firmwarePath) {
    std::error_code error;
    return !tracePath.empty() && !firmwarePath.empty() &&
           std::filesystem::equivalent(tracePath, firmwarePath, error) && !error;
}

// The wire trace of a run (--trace FILE): the file, the trace and the port system that feeds it.
#pragma once

#include <fstream>
#include <iosfwd>
#include <memory>
#include <string>

#include "camera/camera.hpp"

class CTraceFile {
  public:
    // With an empty path there is no trace and Ports() is `ports` itself. Otherwise the file is
    // created (emptied when it exists) and its heading written at once.
    CTraceFile(const std::string& path, IPortSystem& ports);

    // Empty when the trace is ready (or none was asked for), else why the file cannot be written.
    const std::string& Error() const { return m_error; }
    IPortSystem& Ports();
    // Writes the summary and closes the file; false, with the reason on `err`, when the file
    // could not be written completely.
    bool Finish(std::ostream& err);

  private:
    std::string m_path;
    IPortSystem& m_ports;
    std::ofstream m_file;
    std::unique_ptr<CWireTrace> m_trace;
    std::unique_ptr<CTracingPortSystem> m_tracingPorts;
    std::string m_error;
};

// The wire trace of a run (--trace FILE): the file, the trace and the port system that feeds it.
#pragma once

#include <cstdint>
#include <iosfwd>
#include <memory>
#include <streambuf>
#include <string>

#include "camera/camera.hpp"

class CTraceFile {
  public:
    // With an empty path there is no trace and Ports() is `ports` itself. Otherwise the file is
    // opened without waiting (created, or emptied when it is a regular file) and its heading
    // written at once. While the trace runs, what would end it (the port's closing and the
    // summary) stays prepared for a stop signal that ends the run.
    CTraceFile(const std::string& path, IPortSystem& ports);
    ~CTraceFile();
    CTraceFile(const CTraceFile&) = delete;
    CTraceFile& operator=(const CTraceFile&) = delete;

    // Empty when the trace is ready (or none was asked for), else why the file cannot be written.
    const std::string& Error() const { return m_error; }
    IPortSystem& Ports();
    // Writes the summary and closes the file; false, with the reason on `err`, when the file
    // could not be written completely.
    bool Finish(std::ostream& err);

  private:
    // Hands every byte to the file at once: nothing is held in the process.
    class Output final : public std::streambuf {
      public:
        explicit Output(int fd) : m_fd(fd) {}
        uint64_t Dropped() const { return m_dropped; }

      protected:
        int_type overflow(int_type c) override;
        std::streamsize xsputn(const char* data, std::streamsize n) override;

      private:
        int m_fd;
        uint64_t m_dropped = 0;
    };

    std::string m_path;
    IPortSystem& m_ports;
    int m_fd = -1;
    std::unique_ptr<Output> m_output;
    std::unique_ptr<std::ostream> m_stream;
    std::unique_ptr<CWireTrace> m_trace;
    std::unique_ptr<CTracingPortSystem> m_tracingPorts;
    std::string m_error;
};

// Whether --trace names the firmware file of --file (the same file, by any of its names): the
// trace would overwrite it.
bool TraceWouldOverwrite(const std::string& tracePath, const std::string& firmwarePath);

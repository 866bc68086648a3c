// Windows' serial ports COM1 to COM4, and why Windows refused to open one, in the terms the port
// diagnostics use.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "serial/serial.hpp"

namespace win32 {

enum class OpenProblem {
    InUse,       // another program holds the port (Windows says: access denied)
    NoSuchPort,  // no port stands behind the name (Windows says: file not found)
    Failed,      // anything else; the system's text says what
};

struct OpenFailure {
    OpenProblem problem = OpenProblem::Failed;
    uint32_t systemError = 0;  // GetLastError() after CreateFile
    std::string text;          // Windows' own words for it
};

OpenFailure DescribeOpenFailure(uint32_t systemError);

// COM1 to COM4 as \\.\COMn through the Win32 communications calls.
class CPortSystem final : public IPortSystem {
  public:
    std::unique_ptr<IPortDriver> Open(const std::string& name) override;
    // Why the last Open that Windows refused failed.
    const OpenFailure& LastOpenFailure() const { return m_lastFailure; }

  private:
    OpenFailure m_lastFailure;
};

}  // namespace win32

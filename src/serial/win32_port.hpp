// Windows' serial ports: opening one by its Windows name, the port system of COM1 to COM4, and
// Windows' reasons for failures in the terms of the port seam.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <string>

#include "serial/serial.hpp"

namespace win32 {

// Windows' own words for an error code, without the line end they come with.
std::string SystemText(uint32_t systemError);
// The reason for a refused opening: access denied or a sharing violation is a port another
// program holds, file or path not found no such port; Windows' number and text are kept.
PortFailure OpenFailure(uint32_t systemError);
// The reason for a failure of an open port: the device went away, or another failure.
PortFailure RunFailure(uint32_t systemError);

// Opens the port `device` ("COM1", "COM12", or a path such as \\.\COM12) through CreateFile and
// makes it a raw line; null with the reason in *why.
std::unique_ptr<IPortDriver> OpenPort(const std::string& device, PortFailure* why);

// COM1 to COM4 as Windows names them; a device named in `overrides` stands in for its COMn.
class CPortSystem final : public IPortSystem {
  public:
    explicit CPortSystem(const PortOverrides& overrides = {});
    std::unique_ptr<IPortDriver> Open(const std::string& name, PortFailure* failure) override;
    PortMap Ports() override { return m_map; }

  private:
    std::array<std::string, 4> m_devices;  // what each COMn opens
    PortMap m_map;
};

}  // namespace win32

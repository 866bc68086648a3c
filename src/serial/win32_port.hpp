// Windows' serial ports: opening one by its Windows name, the port system of COM1 to COM4, the
// ports Windows knows, and Windows' reasons for failures in the terms of the port seam.
#pragma once

#include <windows.h>

#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "serial/serial.hpp"

namespace win32 {

// UTF-8 text (every path and name inside the program) as Windows' wide-character calls take
// it, and back.
std::wstring Wide(std::string_view utf8);
std::string Utf8(std::wstring_view wide);

// The Win32 communications calls the port driver makes, under their Windows names: the system's
// own (SystemCommCalls), or a recorded line in the tests, where the line errors that Wine cannot
// produce are made.
class ICommCalls {
  public:
    virtual ~ICommCalls() = default;
    // Opens a port for reading and writing, for this program alone, not overlapped.
    virtual HANDLE CreateFileW(const std::wstring& path) = 0;
    virtual BOOL GetCommState(HANDLE port, DCB* dcb) = 0;
    virtual BOOL SetCommState(HANDLE port, DCB* dcb) = 0;
    virtual BOOL GetCommTimeouts(HANDLE port, COMMTIMEOUTS* timeouts) = 0;
    virtual BOOL SetCommTimeouts(HANDLE port, COMMTIMEOUTS* timeouts) = 0;
    virtual BOOL SetupComm(HANDLE port, DWORD inBytes, DWORD outBytes) = 0;
    virtual BOOL ClearCommError(HANDLE port, DWORD* errors, COMSTAT* status) = 0;
    virtual BOOL PurgeComm(HANDLE port, DWORD flags) = 0;
    virtual BOOL SetCommBreak(HANDLE port) = 0;
    virtual BOOL ClearCommBreak(HANDLE port) = 0;
    virtual BOOL ReadFile(HANDLE port, void* data, DWORD n, DWORD* got) = 0;
    virtual BOOL WriteFile(HANDLE port, const void* data, DWORD n, DWORD* written) = 0;
    virtual DWORD GetLastError() = 0;
    virtual void SetLastError(DWORD error) = 0;
};
ICommCalls& SystemCommCalls();

// What Windows knows of one serial port, nothing opened: its device map entry and, for a port
// of the Ports device class, what the class's properties say.
struct KnownPort {
    std::string name;          // "COM7"
    std::string device;        // "\Device\Serial0", "\Device\VCP0" (the device map); may be empty
    std::string friendlyName;  // "USB Serial Port (COM7)"; may be empty
    std::string maker;         // "FTDI"; may be empty
    std::string hardwareId;    // "FTDIBUS\VID_0403+PID_6001+A12345A\0000"; may be empty
};

// Where the ports Windows knows come from: the device map (HKLM\HARDWARE\DEVICEMAP\SERIALCOMM)
// and the Ports device class through SetupAPI (SystemPortCatalogue), or a recorded answer.
class IPortCatalogue {
  public:
    virtual ~IPortCatalogue() = default;
    // Every port of the device map and of the Ports class, one entry per COM name.
    virtual std::vector<KnownPort> KnownPorts() = 0;
    // The system's device behind a DOS name ("\Device\Null" for NUL), or empty for none.
    virtual std::string DeviceBehind(const std::string& name) = 0;
};
IPortCatalogue& SystemPortCatalogue();

// COM1 to COM4 and the other ports Windows knows, each with its friendly name, maker and USB
// vendor:product where Windows has them; a device named in `overrides` stands in for its COMn.
PortMap MapKnownPorts(IPortCatalogue& catalogue, const PortOverrides& overrides);

// Windows' own words for an error code, without the line end they come with.
std::string SystemText(uint32_t systemError);
// The reason for a refused opening: access denied or a sharing violation is a port another
// program holds, file or path not found no such port; Windows' number and text are kept.
PortFailure OpenFailure(uint32_t systemError);
// The reason for a failure of an open port: the device went away, or another failure.
PortFailure RunFailure(uint32_t systemError);

// Opens the port `device` ("COM1", "COM12", or a path such as \\.\COM12) through CreateFile and
// makes it a raw line; null with the reason in *why.
std::unique_ptr<IPortDriver> OpenPort(const std::string& device, PortFailure* why,
                                      ICommCalls& calls = SystemCommCalls());

// COM1 to COM4 as Windows names them; a device named in `overrides` stands in for its COMn.
class CPortSystem final : public IPortSystem {
  public:
    explicit CPortSystem(const PortOverrides& overrides = {},
                         IPortCatalogue& catalogue = SystemPortCatalogue(),
                         ICommCalls& calls = SystemCommCalls());
    std::unique_ptr<IPortDriver> Open(const std::string& name, PortFailure* failure) override;
    PortMap Ports() override { return m_map; }

  private:
    std::array<std::string, 4> m_devices;  // what each COMn opens
    PortMap m_map;
    ICommCalls& m_calls;
};

}  // namespace win32

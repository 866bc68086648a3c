// The serial ports Windows knows, read without opening any: the device map
// (HKLM\HARDWARE\DEVICEMAP\SERIALCOMM: device -> COM name), and the Ports device class through
// SetupAPI (each device's PortName with its friendly name, maker and hardware ID). A port that
// only one of them knows is listed all the same.
#include <windows.h>
// (after windows.h)
#include <setupapi.h>

#include <algorithm>
#include <string>
#include <vector>

#include "serial/win32_port.hpp"

namespace {

// The Ports (COM & LPT) device class.
constexpr GUID kPortsClass = {
    0x4d36e978, 0xe325, 0x11ce, {0xbf, 0xc1, 0x08, 0x00, 0x2b, 0xe1, 0x03, 0x18}};
// Registry names and values are at most this long (characters, with the terminating zero).
constexpr DWORD kNameRoom = 256;
constexpr DWORD kTextRoom = 1024;

// A string value of an open key, or empty.
std::string StringValue(HKEY key, const wchar_t* name) {
    wchar_t text[kTextRoom] = {};
    DWORD bytes = sizeof text - sizeof(wchar_t);
    DWORD type = 0;
    if (RegQueryValueExW(key, name, nullptr, &type, reinterpret_cast<BYTE*>(text), &bytes) !=
            ERROR_SUCCESS ||
        type != REG_SZ) {
        return {};
    }
    return win32::Utf8(text);
}

// A text property of a device (REG_SZ, or the first string of a REG_MULTI_SZ), or empty.
std::string DeviceProperty(HDEVINFO devices, SP_DEVINFO_DATA* device, DWORD property) {
    wchar_t text[kTextRoom] = {};
    if (SetupDiGetDeviceRegistryPropertyW(devices, device, property, nullptr,
                                          reinterpret_cast<BYTE*>(text),
                                          sizeof text - 2 * sizeof(wchar_t), nullptr) == 0) {
        return {};
    }
    return win32::Utf8(text);
}

win32::KnownPort* Find(std::vector<win32::KnownPort>& ports, const std::string& name) {
    const auto found = std::find_if(ports.begin(), ports.end(), [&](const win32::KnownPort& port) {
        return port.name == name;
    });
    return found == ports.end() ? nullptr : &*found;
}

void ReadDeviceMap(std::vector<win32::KnownPort>& ports) {
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, L"HARDWARE\\DEVICEMAP\\SERIALCOMM", 0, KEY_READ, &key) !=
        ERROR_SUCCESS) {
        return;
    }
    for (DWORD index = 0;; ++index) {
        wchar_t device[kNameRoom] = {};
        wchar_t name[kNameRoom] = {};
        DWORD deviceLength = kNameRoom;
        DWORD nameBytes = sizeof name - sizeof(wchar_t);
        DWORD type = 0;
        const LONG result = RegEnumValueW(key, index, device, &deviceLength, nullptr, &type,
                                          reinterpret_cast<BYTE*>(name), &nameBytes);
        if (result == ERROR_NO_MORE_ITEMS) {
            break;
        }
        if (result != ERROR_SUCCESS || type != REG_SZ || name[0] == L'\0') {
            continue;
        }
        const std::string comName = win32::Utf8(name);
        if (Find(ports, comName) == nullptr) {
            ports.push_back(win32::KnownPort{comName, win32::Utf8(device), {}, {}, {}});
        }
    }
    RegCloseKey(key);
}

void ReadPortsClass(std::vector<win32::KnownPort>& ports) {
    HDEVINFO devices = SetupDiGetClassDevsW(&kPortsClass, nullptr, nullptr, DIGCF_PRESENT);
    if (devices == INVALID_HANDLE_VALUE) {
        return;
    }
    SP_DEVINFO_DATA device{};
    device.cbSize = sizeof device;
    for (DWORD index = 0; SetupDiEnumDeviceInfo(devices, index, &device) != 0; ++index) {
        HKEY key = SetupDiOpenDevRegKey(devices, &device, DICS_FLAG_GLOBAL, 0, DIREG_DEV, KEY_READ);
        if (key == INVALID_HANDLE_VALUE) {
            continue;
        }
        const std::string comName = StringValue(key, L"PortName");
        RegCloseKey(key);
        if (comName.rfind("COM", 0) != 0) {
            continue;  // a printer port (LPT1) of the same class
        }
        win32::KnownPort* port = Find(ports, comName);
        if (port == nullptr) {
            ports.push_back(win32::KnownPort{comName, {}, {}, {}, {}});
            port = &ports.back();
        }
        port->friendlyName = DeviceProperty(devices, &device, SPDRP_FRIENDLYNAME);
        port->maker = DeviceProperty(devices, &device, SPDRP_MFG);
        port->hardwareId = DeviceProperty(devices, &device, SPDRP_HARDWAREID);
    }
    SetupDiDestroyDeviceInfoList(devices);
}

class CSystemPortCatalogue final : public win32::IPortCatalogue {
  public:
    std::vector<win32::KnownPort> KnownPorts() override {
        std::vector<win32::KnownPort> ports;
        ReadDeviceMap(ports);
        ReadPortsClass(ports);
        return ports;
    }

    std::string DeviceBehind(const std::string& name) override {
        wchar_t target[MAX_PATH] = {};
        if (name.empty() || QueryDosDeviceW(win32::Wide(name).c_str(), target, MAX_PATH) == 0) {
            return {};
        }
        return win32::Utf8(target);
    }
};

}  // namespace

namespace win32 {

IPortCatalogue& SystemPortCatalogue() {
    static CSystemPortCatalogue catalogue;
    return catalogue;
}

}  // namespace win32

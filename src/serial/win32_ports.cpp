// COM1 to COM4 on Windows: the ports of those names, or the device the program names for one of
// them (--port COM7). Windows tells cheaply which names stand for a device, and which device
// (QueryDosDevice: \Device\Serial0 for an on-board port, a driver's own name for an adapter);
// nothing is opened to find out.
#include <windows.h>

#include <cctype>
#include <memory>
#include <string>
#include <utility>

#include "serial/serial.hpp"
#include "serial/win32_port.hpp"

namespace {

constexpr size_t kSlotCount = 4;

// The device name without a leading \\.\ (QueryDosDevice takes the bare name).
std::string BareName(const std::string& device) {
    return device.rfind("\\\\.\\", 0) == 0 ? device.substr(4) : device;
}

// The system's device behind a name ("\Device\Serial0"), or empty when the name stands for none.
std::string DeviceBehind(const std::string& device) {
    char target[MAX_PATH] = {};
    const std::string name = BareName(device);
    if (name.empty() || QueryDosDeviceA(name.c_str(), target, sizeof target) == 0) {
        return {};
    }
    return target;
}

// "COM" and a number, in any case.
bool IsComName(const std::string& value, unsigned* number) {
    if (value.size() < 4 || value.size() > 6 ||
        std::toupper(static_cast<unsigned char>(value[0])) != 'C' ||
        std::toupper(static_cast<unsigned char>(value[1])) != 'O' ||
        std::toupper(static_cast<unsigned char>(value[2])) != 'M') {
        return false;
    }
    *number = 0;
    for (size_t i = 3; i < value.size(); ++i) {
        if (std::isdigit(static_cast<unsigned char>(value[i])) == 0) {
            return false;
        }
        *number = *number * 10 + static_cast<unsigned>(value[i] - '0');
    }
    return true;
}

}  // namespace

namespace win32 {

CPortSystem::CPortSystem(const PortOverrides& overrides) {
    for (size_t slot = 0; slot < kSlotCount; ++slot) {
        const bool named = !overrides[slot].device.empty();
        m_devices[slot] = named ? overrides[slot].device : "COM" + std::to_string(slot + 1);
        const std::string behind = DeviceBehind(m_devices[slot]);
        PortInfo& info = m_map.com[slot];
        if (named) {
            info = PortInfo{m_devices[slot], behind.empty() ? "no such port" : behind,
                            overrides[slot].namedBy};
        } else if (!behind.empty()) {
            info = PortInfo{m_devices[slot], behind, {}};
        }
    }
}

std::unique_ptr<IPortDriver> CPortSystem::Open(const std::string& name, PortFailure* failure) {
    PortFailure why{PortProblem::NoDevice, 0, "no device stands for " + name, {}};
    std::unique_ptr<IPortDriver> port;
    if (name.size() == 4 && name.compare(0, 3, "COM") == 0 && name[3] >= '1' && name[3] <= '4') {
        // Windows has the last word on whether a port is there: it is always asked.
        port = OpenPort(m_devices[static_cast<size_t>(name[3] - '1')], &why);
    }
    if (failure != nullptr) {
        *failure = port != nullptr ? PortFailure{} : std::move(why);
    }
    return port;
}

}  // namespace win32

std::unique_ptr<IPortSystem> MakeSystemPorts(const PortOverrides& overrides) {
    return std::make_unique<win32::CPortSystem>(overrides);
}

bool NamesSystemDevice(const std::string& value) {
    unsigned number = 0;
    return value.rfind("\\\\", 0) == 0 || (IsComName(value, &number) && (number < 1 || number > 4));
}

const char* SystemPortsHelp() {
    return "COM1 to COM4 are the Windows serial ports of these names (--list-ports shows which\n"
           "are there; the Device Manager shows which COM number a USB serial adapter has).";
}

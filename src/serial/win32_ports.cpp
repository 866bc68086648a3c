// COM1 to COM4 on Windows: the ports of those names, or the device the program names for one of
// them (--port COM7), and the other ports Windows knows, with what Windows says of each (the
// device map and the Ports device class; nothing is opened to find out).
#include <windows.h>

#include <algorithm>
#include <cctype>
#include <limits>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "serial/serial.hpp"
#include "serial/win32_port.hpp"

namespace {

constexpr size_t kSlotCount = 4;
constexpr unsigned kNotComName = std::numeric_limits<unsigned>::max();

// "COM" and a number, in any case; the number, or kNotComName.
unsigned ComNumber(const std::string& value) {
    if (value.size() < 4 || value.size() > 6 ||
        std::toupper(static_cast<unsigned char>(value[0])) != 'C' ||
        std::toupper(static_cast<unsigned char>(value[1])) != 'O' ||
        std::toupper(static_cast<unsigned char>(value[2])) != 'M') {
        return kNotComName;
    }
    unsigned number = 0;
    for (size_t i = 3; i < value.size(); ++i) {
        if (std::isdigit(static_cast<unsigned char>(value[i])) == 0) {
            return kNotComName;
        }
        number = number * 10 + static_cast<unsigned>(value[i] - '0');
    }
    return number;
}

// The name without a leading \\.\ (the DOS name).
std::string BareName(const std::string& device) {
    return device.rfind("\\\\.\\", 0) == 0 ? device.substr(4) : device;
}

// "USB 0403:6001" from a hardware ID that names a USB vendor and product ("USB\VID_0403&PID_6001",
// "FTDIBUS\VID_0403+PID_6001+A12345A\0000"); empty for any other.
std::string UsbIds(const std::string& hardwareId) {
    const size_t vendor = hardwareId.find("VID_");
    const size_t product = hardwareId.find("PID_");
    constexpr size_t kDigits = 4;
    if (vendor == std::string::npos || product == std::string::npos ||
        hardwareId.size() < vendor + 4 + kDigits || hardwareId.size() < product + 4 + kDigits) {
        return {};
    }
    std::string ids = "USB " + hardwareId.substr(vendor + 4, kDigits) + ":" +
                      hardwareId.substr(product + 4, kDigits);
    std::transform(ids.begin() + 4, ids.end(), ids.begin() + 4, [](char c) {
        return static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    });
    return ids;
}

// "USB Serial Port, FTDI, USB 0403:6001": the friendly name without the "(COM7)" Windows adds,
// the maker and the USB IDs, as far as Windows has them; the device map's device otherwise.
std::string Description(const win32::KnownPort& port) {
    std::string name = port.friendlyName;
    const std::string suffix = " (" + port.name + ")";
    if (name.size() > suffix.size() &&
        name.compare(name.size() - suffix.size(), suffix.size(), suffix) == 0) {
        name.erase(name.size() - suffix.size());
    }
    std::string text;
    for (const std::string& part : {name, port.maker, UsbIds(port.hardwareId)}) {
        if (!part.empty() && text.find(part) == std::string::npos) {
            text += (text.empty() ? "" : ", ") + part;
        }
    }
    return text.empty() ? port.device : text;
}

}  // namespace

namespace win32 {

PortMap MapKnownPorts(IPortCatalogue& catalogue, const PortOverrides& overrides) {
    std::vector<KnownPort> known = catalogue.KnownPorts();
    std::sort(known.begin(), known.end(), [](const KnownPort& a, const KnownPort& b) {
        return ComNumber(a.name) < ComNumber(b.name);
    });
    PortMap map;
    for (const KnownPort& port : known) {
        const unsigned number = ComNumber(port.name);
        if (number == kNotComName || number == 0) {
            continue;
        }
        const PortInfo info{port.name, Description(port), {}};
        if (number <= kSlotCount && overrides[number - 1].device.empty()) {
            map.com[number - 1] = info;
        } else {
            map.unmapped.push_back(info);
        }
    }
    for (size_t slot = 0; slot < kSlotCount; ++slot) {
        const PortOverride& named = overrides[slot];
        if (named.device.empty()) {
            continue;
        }
        // A port Windows knows keeps what Windows says of it; it is listed as the COMn it
        // stands for, not among the others.
        const std::string bare = BareName(named.device);
        const auto same =
            std::find_if(map.unmapped.begin(), map.unmapped.end(), [&](const PortInfo& info) {
                return ComNumber(info.device) != kNotComName &&
                       ComNumber(info.device) == ComNumber(bare);
            });
        std::string description;
        if (same != map.unmapped.end()) {
            description = same->description;
            map.unmapped.erase(same);
        } else {
            description = catalogue.DeviceBehind(bare);
        }
        map.com[slot] = PortInfo{named.device, description.empty() ? "no such port" : description,
                                 named.namedBy};
    }
    return map;
}

CPortSystem::CPortSystem(const PortOverrides& overrides, IPortCatalogue& catalogue,
                         ICommCalls& calls)
    : m_map(MapKnownPorts(catalogue, overrides)), m_calls(calls) {
    for (size_t slot = 0; slot < kSlotCount; ++slot) {
        m_devices[slot] = overrides[slot].device.empty() ? "COM" + std::to_string(slot + 1)
                                                         : overrides[slot].device;
    }
}

std::unique_ptr<IPortDriver> CPortSystem::Open(const std::string& name, PortFailure* failure) {
    PortFailure why{PortProblem::NoDevice, 0, "no device stands for " + name, {}};
    std::unique_ptr<IPortDriver> port;
    if (name.size() == 4 && name.compare(0, 3, "COM") == 0 && name[3] >= '1' && name[3] <= '4') {
        // Windows has the last word on whether a port is there: it is always asked.
        port = OpenPort(m_devices[static_cast<size_t>(name[3] - '1')], &why, m_calls);
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
    const unsigned number = ComNumber(value);
    return value.rfind("\\\\", 0) == 0 ||
           (number != kNotComName && (number < 1 || number > kSlotCount));
}

const char* SystemPortsHelp() {
    return "COM1 to COM4 are the Windows serial ports of these names; a port above COM4 is\n"
           "named with --port (--port COM7). --list-ports shows every port Windows knows,\n"
           "with its name and maker (the Device Manager: \"Ports (COM & LPT)\").";
}

const char* SystemOtherPortsHelp() {
    return "name one with --port, for example --port COM7, to use it as COM1";
}

// Which device COM1 to COM4 stand for on Linux, taken once when the program starts and kept for
// the whole run, so that the port dialog, the search and every message name the same devices.
//
// COMn is the device the program names for it (an option), else the device named by the
// environment variable TK358FW_COMn when it is set and not empty (for example
// TK358FW_COM1=/dev/ttyUSB0), else the n-th device found: USB serial adapters /dev/ttyUSB<k>,
// then /dev/ttyACM<k>, then on-board ports /dev/ttyS<k> with a UART behind them, each family in
// numeric order of k. The system console is never among the devices found.
#include <algorithm>
#include <array>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>
#include <system_error>
#include <utility>
#include <vector>

#include "serial/device_discovery.hpp"
#include "serial/posix_checks.hpp"
#include "serial/serial.hpp"

namespace {

// The path with its symbolic links followed (/dev/serial/by-id/... -> /dev/ttyUSB0), or as
// given when it is none.
std::string Resolved(const std::string& path) {
    constexpr int kMostLinks = 8;
    std::filesystem::path current = path;
    std::error_code error;
    for (int hop = 0; hop < kMostLinks && std::filesystem::is_symlink(current, error); ++hop) {
        const std::filesystem::path target = std::filesystem::read_symlink(current, error);
        if (error) {
            break;
        }
        current =
            target.is_absolute() ? target : (current.parent_path() / target).lexically_normal();
    }
    return current.string();
}

// A named device: the description of the device found under that name, else what a look at
// the path tells (missing, no terminal), else nothing.
PortInfo Named(const std::string& device, const std::string& namedBy,
               const std::vector<PortInfo>& found) {
    PortInfo info{device, {}, namedBy};
    const std::string real = Resolved(device);
    const auto same = std::find_if(found.begin(), found.end(), [&real](const PortInfo& candidate) {
        return candidate.device == real;
    });
    if (same != found.end()) {
        info.description = same->description;
        return info;
    }
    const PortFailure check = posix::CheckTerminalPath(device);
    if (check.problem == PortProblem::NoDevice) {
        info.description = "no such device";
    } else if (check.problem == PortProblem::NotATerminal) {
        info.description = "not a terminal (" + check.detail + ")";
    }
    return info;
}

}  // namespace

PortMap TakePortSnapshot(const PortOverrides& overrides) {
    discovery::FoundDevices found = discovery::FindSerialDevices();
    PortMap map;
    std::vector<bool> used(found.ports.size(), false);
    for (size_t slot = 0; slot < map.com.size(); ++slot) {
        const std::string variable = "TK358FW_COM" + std::to_string(slot + 1);
        const char* value = std::getenv(variable.c_str());
        if (!overrides[slot].device.empty()) {
            map.com[slot] = Named(overrides[slot].device, overrides[slot].namedBy, found.ports);
        } else if (value != nullptr && *value != '\0') {
            map.com[slot] = Named(value, variable, found.ports);
        } else if (slot < found.ports.size()) {
            map.com[slot] = found.ports[slot];
        }
    }
    for (const PortInfo& port : map.com) {
        const std::string real = Resolved(port.device);
        for (size_t i = 0; i < found.ports.size(); ++i) {
            used[i] = used[i] || (!port.device.empty() && found.ports[i].device == real);
        }
    }
    for (size_t i = 0; i < found.ports.size(); ++i) {
        if (!used[i]) {
            map.unmapped.push_back(std::move(found.ports[i]));
        }
    }
    map.skipped = std::move(found.consoles);
    return map;
}

std::unique_ptr<IPortSystem> MakeSystemPorts(const PortOverrides& overrides) {
    return std::make_unique<CPosixPortSystem>(TakePortSnapshot(overrides));
}

bool NamesSystemDevice(const std::string& value) {
    return value.find('/') != std::string::npos;
}

const char* SystemPortsHelp() {
    return "COM1 to COM4 are the serial devices named by TK358FW_COM1 to TK358FW_COM4, or else\n"
           "the serial devices found on this machine (--list-ports shows which).";
}

const char* SystemOtherPortsHelp() {
    return "set TK358FW_COMn=DEVICE, n = 1 to 4, to use one as COMn";
}

// Which device COM1 to COM4 stand for on Linux, taken once when the program starts and kept for
// the whole run, so that the port dialog, the search and every message name the same devices.
//
// COMn is the device the program names for it (an option), else the device named by the
// environment variable TK358FW_COMn when it is set and not empty (for example
// TK358FW_COM1=/dev/ttyUSB0), else the n-th device found: USB serial adapters /dev/ttyUSB<k>,
// then /dev/ttyACM<k>, then on-board ports /dev/ttyS<k> with a UART behind them, each family in
// numeric order of k. The system console is never among the devices found. Found devices fill
// the slots that no device is named for, in their order; a device is never in two slots.
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
    } else if (check.problem == PortProblem::SystemConsole) {
        info.description = check.text;
    }
    return info;
}

// Whether two device paths lead to the same device: the same path once links are followed
// (/dev/serial/by-id/... and /dev/ttyUSB0).
bool SameDevice(const std::string& a, const std::string& b) {
    return Resolved(a) == Resolved(b);
}

// The device named for `slot` (the program's, else the environment's) and what named it.
PortOverride NamedFor(size_t slot, const PortOverrides& overrides) {
    if (!overrides[slot].device.empty()) {
        return overrides[slot];
    }
    const std::string variable = "TK358FW_COM" + std::to_string(slot + 1);
    const char* value = std::getenv(variable.c_str());
    if (value != nullptr && *value != '\0') {
        return {value, variable};
    }
    return {};
}

}  // namespace

PortMap TakePortSnapshot(const PortOverrides& overrides) {
    discovery::FoundDevices found = discovery::FindSerialDevices();
    PortMap map;
    std::array<bool, 4> named = {};
    for (size_t slot = 0; slot < map.com.size(); ++slot) {
        const PortOverride given = NamedFor(slot, overrides);
        if (given.device.empty()) {
            continue;
        }
        named[slot] = true;
        // A device named for an earlier slot already has its COM number.
        for (size_t earlier = 0; earlier < slot; ++earlier) {
            if (named[earlier] && !map.com[earlier].device.empty() &&
                SameDevice(map.com[earlier].device, given.device)) {
                map.com[slot] = PortInfo{
                    {}, given.device + " is COM" + std::to_string(earlier + 1), given.namedBy};
                break;
            }
        }
        if (map.com[slot].namedBy.empty()) {
            map.com[slot] = Named(given.device, given.namedBy, found.ports);
        }
    }
    // Found devices take the slots left free, in their order, unless named for a slot already.
    size_t free = 0;
    for (PortInfo& device : found.ports) {
        const bool taken = std::any_of(map.com.begin(), map.com.end(), [&](const PortInfo& port) {
            return !port.device.empty() && SameDevice(port.device, device.device);
        });
        if (taken) {
            continue;
        }
        while (free < map.com.size() && named[free]) {
            ++free;
        }
        if (free < map.com.size()) {
            map.com[free++] = std::move(device);
        } else {
            map.unmapped.push_back(std::move(device));
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

// The ports in words: COM1 to COM4 with their devices, for the port list, the terminal's port
// question and the desktop port dialog. Device names and descriptions come from outside (USB
// descriptors, the environment): they are shown made visible (TerminalLine).
#include <algorithm>
#include <ostream>
#include <string>

#include "app/app.hpp"

namespace {

constexpr size_t kSlotCount = 4;
constexpr const char* kIndent = "      ";  // under the COMn column

size_t DeviceWidth(const PortMap& map) {
    size_t width = 0;
    for (const auto* list : {&map.unmapped, &map.skipped}) {
        for (const PortInfo& info : *list) {
            width = std::max(width, TerminalLine(info.device).size());
        }
    }
    for (const PortInfo& info : map.com) {
        width = std::max(width, TerminalLine(info.device).size());
    }
    return width;
}

// "/dev/ttyUSB0  FTDI ..." with the device padded to `width`; "no device" when there is none.
std::string DeviceText(const PortInfo& info, size_t width) {
    std::string text = info.device.empty() ? std::string("no device") : TerminalLine(info.device);
    std::string about = TerminalLine(info.description);
    if (!info.namedBy.empty()) {
        about += (about.empty() ? "(from " : "  (from ") + info.namedBy + ")";
    }
    if (!about.empty()) {
        text.resize(std::max(width, text.size()), ' ');
        text += "  " + about;
    }
    return text;
}

}  // namespace

std::string PortLine(int portNumber, const PortInfo& info, size_t deviceWidth) {
    const std::string name = "COM" + std::to_string(portNumber) + "  ";
    return name + DeviceText(info, deviceWidth);
}

std::string PortLines(const PortMap& map) {
    const size_t width = DeviceWidth(map);
    std::string lines;
    for (size_t slot = 0; slot < kSlotCount; ++slot) {
        lines += PortLine(static_cast<int>(slot + 1), map.com[slot], width) + "\n";
    }
    return lines;
}

void WritePortList(std::ostream& out, const PortMap& map) {
    const size_t width = DeviceWidth(map);
    out << PortLines(map);
    if (!map.unmapped.empty()) {
        out << "\nAlso found (" << SystemOtherPortsHelp() << "):\n";
        for (const PortInfo& info : map.unmapped) {
            out << kIndent << DeviceText(info, width) << '\n';
        }
    }
    if (!map.skipped.empty()) {
        out << "\nNever searched:\n";
        for (const PortInfo& info : map.skipped) {
            out << kIndent << DeviceText(info, width) << '\n';
        }
    }
}

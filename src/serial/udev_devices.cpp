// Serial devices from udev's device database: the tty devices, the UART type of on-board ports
// and the USB descriptors of adapters, as the system's own tools see them. Nothing is opened:
// opening a terminal raises its modem lines, which a device on an unrelated port would see.
#include <libudev.h>
#include <linux/serial_core.h>

#include <algorithm>
#include <cstdlib>
#include <memory>
#include <optional>
#include <sstream>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "serial/device_discovery.hpp"

namespace discovery {

namespace {

// Name families in the order their devices take the COM numbers.
constexpr std::string_view kFamilies[] = {"ttyUSB", "ttyACM", "ttyS"};
constexpr size_t kOnBoardFamily = 2;
constexpr size_t kMostDigits = 6;

struct UdevDeleter {
    void operator()(udev* u) const { udev_unref(u); }
    void operator()(udev_enumerate* e) const { udev_enumerate_unref(e); }
    void operator()(udev_device* d) const { udev_device_unref(d); }
};
template <typename T>
using UdevPtr = std::unique_ptr<T, UdevDeleter>;

std::string Text(const char* value) {
    return value != nullptr ? value : "";
}

// The family and number of a device name ("ttyUSB3" -> 0, 3), or none for other names.
std::optional<std::pair<size_t, unsigned long>> FamilyAndNumber(std::string_view name) {
    for (size_t family = 0; family < std::size(kFamilies); ++family) {
        const std::string_view prefix = kFamilies[family];
        if (name.size() <= prefix.size() || name.size() > prefix.size() + kMostDigits ||
            name.substr(0, prefix.size()) != prefix) {
            continue;
        }
        const std::string_view digits = name.substr(prefix.size());
        if (std::all_of(digits.begin(), digits.end(),
                        [](char c) { return c >= '0' && c <= '9'; })) {
            return std::make_pair(family, std::stoul(std::string(digits)));
        }
    }
    return std::nullopt;
}

const char* UartName(long type) {
    switch (type) {
        case PORT_8250:
            return "8250";
        case PORT_16450:
            return "16450";
        case PORT_16550:
            return "16550";
        case PORT_16550A:
            return "16550A";
        case PORT_16650:
            return "16650";
        case PORT_16650V2:
            return "16650V2";
        case PORT_16750:
            return "16750";
        case PORT_16C950:
            return "16C950";
        case PORT_16850:
            return "16850";
        default:
            return nullptr;
    }
}

std::string OnBoardDescription(long uartType) {
    const char* name = UartName(uartType);
    return "on-board serial port, " +
           (name != nullptr ? std::string(name) : "type " + std::to_string(uartType)) + " UART";
}

// "FTDI FT232R USB UART, serial A12345, USB 0403:6001" from the adapter's descriptors, with the
// names of udev's hardware database where the adapter gives none.
std::string UsbDescription(udev_device* tty, udev_device* usb) {
    std::string maker = Text(udev_device_get_sysattr_value(usb, "manufacturer"));
    std::string product = Text(udev_device_get_sysattr_value(usb, "product"));
    if (maker.empty()) {
        maker = Text(udev_device_get_property_value(tty, "ID_VENDOR_FROM_DATABASE"));
    }
    if (product.empty()) {
        product = Text(udev_device_get_property_value(tty, "ID_MODEL_FROM_DATABASE"));
    }
    std::string text = maker;
    if (!product.empty() && product.rfind(maker, 0) != 0) {
        text += (text.empty() ? "" : " ") + product;
    } else if (!product.empty()) {
        text = product;  // the product name already begins with the maker's
    }
    if (text.empty()) {
        text = "USB serial adapter";
    }
    const std::string serial = Text(udev_device_get_sysattr_value(usb, "serial"));
    if (!serial.empty()) {
        text += ", serial " + serial;
    }
    const std::string vendor = Text(udev_device_get_sysattr_value(usb, "idVendor"));
    const std::string model = Text(udev_device_get_sysattr_value(usb, "idProduct"));
    if (!vendor.empty() && !model.empty()) {
        text += ", USB " + vendor + ":" + model;
    }
    return text;
}

// The names the kernel lists as active consoles ("tty0 ttyS0").
std::vector<std::string> ConsoleNames(udev* context) {
    const UdevPtr<udev_device> console(
        udev_device_new_from_subsystem_sysname(context, "tty", "console"));
    std::vector<std::string> names;
    if (console == nullptr) {
        return names;
    }
    std::istringstream active(Text(udev_device_get_sysattr_value(console.get(), "active")));
    for (std::string name; active >> name;) {
        names.push_back(name);
    }
    return names;
}

struct Candidate {
    size_t family;
    unsigned long number;
    PortInfo info;
    bool console;
};

}  // namespace

FoundDevices FindSerialDevices() {
    FoundDevices found;
    const UdevPtr<udev> context(udev_new());
    if (context == nullptr) {
        return found;
    }
    const UdevPtr<udev_enumerate> scan(udev_enumerate_new(context.get()));
    if (scan == nullptr || udev_enumerate_add_match_subsystem(scan.get(), "tty") < 0 ||
        udev_enumerate_scan_devices(scan.get()) < 0) {
        return found;
    }
    const std::vector<std::string> consoles = ConsoleNames(context.get());
    std::vector<Candidate> candidates;
    for (udev_list_entry* entry = udev_enumerate_get_list_entry(scan.get()); entry != nullptr;
         entry = udev_list_entry_get_next(entry)) {
        const UdevPtr<udev_device> tty(
            udev_device_new_from_syspath(context.get(), udev_list_entry_get_name(entry)));
        if (tty == nullptr) {
            continue;
        }
        const std::string name = Text(udev_device_get_sysname(tty.get()));
        const std::string node = Text(udev_device_get_devnode(tty.get()));
        const auto kind = FamilyAndNumber(name);
        if (!kind || node.empty()) {
            continue;
        }
        Candidate candidate{kind->first, kind->second, PortInfo{node, {}, {}}, false};
        if (kind->first == kOnBoardFamily) {
            // The kernel makes ttyS devices for every possible port; absent ones have type 0.
            const long type = std::strtol(
                Text(udev_device_get_sysattr_value(tty.get(), "type")).c_str(), nullptr, 10);
            if (type == PORT_UNKNOWN) {
                continue;
            }
            candidate.info.description = OnBoardDescription(type);
        } else if (udev_device* usb = udev_device_get_parent_with_subsystem_devtype(
                       tty.get(), "usb", "usb_device")) {
            candidate.info.description = UsbDescription(tty.get(), usb);
        }
        candidate.console = std::find(consoles.begin(), consoles.end(), name) != consoles.end();
        candidates.push_back(std::move(candidate));
    }
    std::sort(candidates.begin(), candidates.end(), [](const Candidate& a, const Candidate& b) {
        return a.family != b.family ? a.family < b.family : a.number < b.number;
    });
    for (Candidate& candidate : candidates) {
        if (candidate.console) {
            const std::string what = candidate.info.description;
            candidate.info.description =
                "the system console" + (what.empty() ? "" : " (" + what + ")");
            found.consoles.push_back(std::move(candidate.info));
        } else {
            found.ports.push_back(std::move(candidate.info));
        }
    }
    return found;
}

}  // namespace discovery

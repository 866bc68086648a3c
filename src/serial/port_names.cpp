// Which device COM1 to COM4 stand for on Linux.
//
// COMn is the device the program set for this run (SetPosixDeviceForPort) when there is one, else
// the device named by the environment variable TK358FW_COMn when it is set and not empty
// (TK358FW_COM1 ... TK358FW_COM4, for example TK358FW_COM1=/dev/ttyUSB0). Otherwise COMn is the
// n-th device of this list, built afresh on every call:
//   1. USB serial adapters /dev/ttyUSB<k>, in numeric order of k;
//   2. USB modem-class adapters /dev/ttyACM<k>, in numeric order of k;
//   3. on-board ports /dev/ttyS<k>, in numeric order of k, but only those with a UART behind them
//      (the kernel creates ttyS nodes for absent hardware; those report the type PORT_UNKNOWN).
#include <fcntl.h>
#include <linux/serial.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "serial/serial.hpp"

namespace {

// The numbers k of the entries /dev/<prefix><k>, ascending.
std::vector<unsigned long> NumberedDevices(std::string_view prefix) {
    std::vector<unsigned long> numbers;
    std::error_code error;
    for (std::filesystem::directory_iterator it("/dev", error), end; !error && it != end;
         it.increment(error)) {
        const std::string name = it->path().filename().string();
        if (name.size() <= prefix.size() || name.compare(0, prefix.size(), prefix) != 0) {
            continue;
        }
        const std::string digits = name.substr(prefix.size());
        if (!std::all_of(digits.begin(), digits.end(),
                         [](char c) { return c >= '0' && c <= '9'; }) ||
            digits.size() > 6) {
            continue;
        }
        numbers.push_back(std::stoul(digits));
    }
    std::sort(numbers.begin(), numbers.end());
    return numbers;
}

bool HasUart(const std::string& path) {
    const int fd = open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        return false;
    }
    serial_struct info{};
    const bool present = ioctl(fd, TIOCGSERIAL, &info) == 0 && info.type != PORT_UNKNOWN;
    close(fd);
    return present;
}

// Devices set by the program for this run, by port number 1 to 4 (index 0 unused).
std::array<std::string, 5>& DevicesSetForRun() {
    static std::array<std::string, 5> devices;
    return devices;
}

std::vector<std::string> DetectedDevices() {
    std::vector<std::string> devices;
    for (const char* prefix : {"ttyUSB", "ttyACM"}) {
        for (unsigned long k : NumberedDevices(prefix)) {
            devices.push_back("/dev/" + std::string(prefix) + std::to_string(k));
        }
    }
    for (unsigned long k : NumberedDevices("ttyS")) {
        std::string path = "/dev/ttyS" + std::to_string(k);
        if (HasUart(path)) {
            devices.push_back(std::move(path));
        }
    }
    return devices;
}

}  // namespace

void SetPosixDeviceForPort(int portNumber, const std::string& device) {
    if (portNumber >= 1 && portNumber <= 4) {
        DevicesSetForRun()[static_cast<size_t>(portNumber)] = device;
    }
}

std::string PosixDeviceForPort(int portNumber) {
    if (portNumber < 1 || portNumber > 4) {
        return {};
    }
    if (const std::string& set = DevicesSetForRun()[static_cast<size_t>(portNumber)];
        !set.empty()) {
        return set;
    }
    const std::string variable = "TK358FW_COM" + std::to_string(portNumber);
    if (const char* value = std::getenv(variable.c_str()); value != nullptr && *value != '\0') {
        return value;
    }
    std::vector<std::string> devices = DetectedDevices();
    const auto index = static_cast<size_t>(portNumber - 1);
    return index < devices.size() ? std::move(devices[index]) : std::string();
}

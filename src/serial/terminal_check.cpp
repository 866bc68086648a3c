// Whether a path can be a terminal, told without opening it: opening some character devices
// has effects of its own (a watchdog starts counting), and opening a terminal raises its modem
// lines.
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <linux/major.h>

#include <algorithm>
#include <cerrno>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <system_error>
#include <vector>

#include "serial/posix_checks.hpp"

namespace posix {

namespace {

PortFailure NotATerminal(const std::string& what) {
    PortFailure failure = OpenFailure(ENOTTY, {});
    failure.detail = what;
    return failure;
}

// The first line of a sysfs attribute ("4:64", "tty0 ttyS0"), or empty.
std::string Attribute(const std::string& path) {
    std::ifstream file(path);
    std::string line;
    std::getline(file, line);
    return line;
}

// The device number a sysfs "dev" attribute names ("4:64").
bool ParseDeviceNumber(const std::string& text, dev_t* device) {
    unsigned int major = 0;
    unsigned int minor = 0;
    char colon = 0;
    std::istringstream in(text);
    if (!(in >> major >> colon >> minor) || colon != ':') {
        return false;
    }
    *device = makedev(major, minor);
    return true;
}

constexpr unsigned kConsoleMajor = TTYAUX_MAJOR;  // 5:1 /dev/console
constexpr unsigned kConsoleMinor = 1;
constexpr unsigned kCurrentVtMajor = TTY_MAJOR;  // 4:0 /dev/tty0, the terminal in front
constexpr unsigned kCurrentVtMinor = 0;

}  // namespace

std::vector<dev_t> ConsoleDevices(const std::string& sysClassTty) {
    std::vector<dev_t> devices = {makedev(kConsoleMajor, kConsoleMinor),
                                  makedev(kCurrentVtMajor, kCurrentVtMinor)};
    std::istringstream active(Attribute(sysClassTty + "/console/active"));
    for (std::string name; active >> name;) {
        if (name == "tty0") {
            // The virtual terminal in front, which is what the console writes to now.
            name = Attribute(sysClassTty + "/tty0/active");
        }
        dev_t device = 0;
        if (name.find('/') == std::string::npos && !name.empty() &&
            ParseDeviceNumber(Attribute(sysClassTty + "/" + name + "/dev"), &device)) {
            devices.push_back(device);
        }
    }
    return devices;
}

bool IsPseudoTerminal(dev_t device) {
    const unsigned number = major(device);
    return number >= UNIX98_PTY_SLAVE_MAJOR &&
           number < UNIX98_PTY_SLAVE_MAJOR + UNIX98_PTY_MAJOR_COUNT;
}

PortFailure CheckTerminalPath(const std::string& path) {
    struct stat info {};
    if (stat(path.c_str(), &info) != 0) {
        return OpenFailure(errno, path);
    }
    if (S_ISREG(info.st_mode)) {
        return NotATerminal("a regular file");
    }
    if (S_ISDIR(info.st_mode)) {
        return NotATerminal("a directory");
    }
    if (!S_ISCHR(info.st_mode)) {
        return NotATerminal("not a character device");
    }
    const std::vector<dev_t> consoles = ConsoleDevices();
    if (std::find(consoles.begin(), consoles.end(), info.st_rdev) != consoles.end()) {
        return PortFailure{PortProblem::SystemConsole, 0, "the system console", {}};
    }
    // The kernel files each registered character device under its class; terminals are in
    // class "tty". Pseudo-terminals have no entry.
    const std::string entry = "/sys/dev/char/" + std::to_string(major(info.st_rdev)) + ":" +
                              std::to_string(minor(info.st_rdev)) + "/subsystem";
    std::error_code error;
    const std::filesystem::path subsystem = std::filesystem::read_symlink(entry, error);
    if (!error && subsystem.filename() != "tty") {
        return NotATerminal("a device of class " + subsystem.filename().string());
    }
    return {};
}

}  // namespace posix

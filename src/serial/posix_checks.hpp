// What the system can tell about a serial device without opening it, and the reasons for
// failures in the system's terms (POSIX and Linux only).
#pragma once

#include <sys/types.h>

#include <string>
#include <vector>

#include "serial/serial.hpp"

namespace posix {

// The reason for a failed opening with error number `error`.
PortFailure OpenFailure(int error, const std::string& path);
// The reason for a failure of an open device with error number `error`.
PortFailure RunFailure(int error);
// The programs other than this one that hold character device `device` open, as far as this
// user may see: "minicom, process 1234". Empty when none can be seen.
std::string HoldersOf(dev_t device);

// Checks, without opening it, that `path` can be a terminal: a missing path gives NoDevice, a
// file, directory or character device of another kind (memory, watchdog ...) NotATerminal with
// what it is in the detail ("a regular file"), the system console SystemConsole.
// Pseudo-terminals pass; whether the device really is a terminal shows once it is open.
PortFailure CheckTerminalPath(const std::string& path);

// The devices that are the system console: /dev/console, /dev/tty0, and the terminals the kernel
// lists in `sysClassTty`/console/active, tty0 followed to the virtual terminal in front.
std::vector<dev_t> ConsoleDevices(const std::string& sysClassTty = "/sys/class/tty");
// Whether `device` is the slave side of a pseudo-terminal (whose master always has a program).
bool IsPseudoTerminal(dev_t device);

}  // namespace posix

// Whether a path can be a terminal, told without opening it: opening some character devices
// has effects of its own (a watchdog starts counting), and opening a terminal raises its modem
// lines.
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>
#include <string>
#include <system_error>

#include "serial/posix_checks.hpp"

namespace posix {

namespace {

PortFailure NotATerminal(const std::string& what) {
    PortFailure failure = OpenFailure(ENOTTY, {});
    failure.detail = what;
    return failure;
}

}  // namespace

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

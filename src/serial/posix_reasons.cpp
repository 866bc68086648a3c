// Failures of POSIX serial devices in the system's terms: the error number with its text, the
// program that holds a busy device, and the group that may use a device this user may not.
#include <grp.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <filesystem>
#include <fstream>
#include <string>
#include <system_error>
#include <vector>

#include "serial/posix_checks.hpp"

namespace posix {

namespace {

constexpr size_t kMostHoldersNamed = 3;

std::string SystemText(int error) {
    return std::error_code(error, std::generic_category()).message();
}

// The group owning `path`, when that group may read and write it and this process is not a
// member (the usual reason for a refused serial device), else empty.
std::string MissingGroupOf(const std::string& path) {
    struct stat info {};
    constexpr mode_t kGroupReadWrite = S_IRGRP | S_IWGRP;
    if (stat(path.c_str(), &info) != 0 || (info.st_mode & kGroupReadWrite) != kGroupReadWrite ||
        info.st_gid == 0 || info.st_gid == getegid()) {
        return {};
    }
    const int count = getgroups(0, nullptr);
    std::vector<gid_t> groups(static_cast<size_t>(count > 0 ? count : 0));
    if (count > 0 && getgroups(count, groups.data()) == count &&
        std::find(groups.begin(), groups.end(), info.st_gid) != groups.end()) {
        return {};
    }
    std::vector<char> buffer(4096);
    group entry{};
    group* found = nullptr;
    if (getgrgid_r(info.st_gid, &entry, buffer.data(), buffer.size(), &found) != 0 ||
        found == nullptr) {
        return {};
    }
    return found->gr_name;
}

// The command name of process `pid` ("minicom"), or empty.
std::string CommandOf(const std::string& pid) {
    std::ifstream file("/proc/" + pid + "/comm");
    std::string name;
    std::getline(file, name);
    return name;
}

}  // namespace

PortFailure OpenFailure(int error, const std::string& path) {
    PortFailure failure{PortProblem::Failed, error, SystemText(error), {}};
    switch (error) {
        case ENOENT:
        case ENODEV:
        case ENXIO:
        case EIO:  // an on-board port without a UART behind it
            failure.problem = PortProblem::NoDevice;
            break;
        case EACCES:
        case EPERM:
            failure.problem = PortProblem::PermissionDenied;
            failure.detail = MissingGroupOf(path);
            break;
        case EBUSY:
        case EWOULDBLOCK:
            failure.problem = PortProblem::InUse;
            break;
        case ENOTTY:
        case EISDIR:
            failure.problem = PortProblem::NotATerminal;
            break;
        default:
            break;
    }
    return failure;
}

PortFailure RunFailure(int error) {
    const bool gone = error == EIO || error == ENXIO || error == ENODEV;
    return PortFailure{
        gone ? PortProblem::DeviceGone : PortProblem::Failed, error, SystemText(error), {}};
}

std::string HoldersOf(dev_t device) {
    std::string holders;
    size_t named = 0;
    const std::string self = std::to_string(getpid());
    std::error_code error;
    for (std::filesystem::directory_iterator proc("/proc", error), end;
         !error && proc != end && named < kMostHoldersNamed; proc.increment(error)) {
        const std::string pid = proc->path().filename().string();
        if (pid == self || pid.find_first_not_of("0123456789") != std::string::npos) {
            continue;
        }
        std::error_code fdError;  // processes of other users, or gone meanwhile: not visible
        for (std::filesystem::directory_iterator fd(proc->path() / "fd", fdError), fdEnd;
             !fdError && fd != fdEnd; fd.increment(fdError)) {
            struct stat info {};
            if (stat(fd->path().c_str(), &info) == 0 && S_ISCHR(info.st_mode) &&
                info.st_rdev == device) {
                holders += (named++ > 0 ? "; " : "") + CommandOf(pid) + ", process " + pid;
                break;
            }
        }
    }
    return holders;
}

}  // namespace posix

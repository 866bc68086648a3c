// Failures of Windows' serial ports in the terms of the port seam, with Windows' own number and
// text for each.
#include <windows.h>

#include <string>

#include "serial/win32_port.hpp"

namespace win32 {

std::string SystemText(uint32_t systemError) {
    char* buffer = nullptr;
    const DWORD length = FormatMessageA(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
        nullptr, systemError, 0, reinterpret_cast<char*>(&buffer), 0, nullptr);
    std::string text =
        length > 0 && buffer != nullptr ? std::string(buffer, length) : std::string();
    LocalFree(buffer);
    while (!text.empty() && (text.back() == '\n' || text.back() == '\r' || text.back() == ' ')) {
        text.pop_back();
    }
    if (text.empty()) {
        text = "Windows error " + std::to_string(systemError);
    }
    return text;
}

PortFailure OpenFailure(uint32_t systemError) {
    PortFailure failure{
        PortProblem::Failed, static_cast<int>(systemError), SystemText(systemError), {}};
    switch (systemError) {
        case ERROR_ACCESS_DENIED:
        case ERROR_SHARING_VIOLATION:
            failure.problem = PortProblem::InUse;
            break;
        case ERROR_FILE_NOT_FOUND:
        case ERROR_PATH_NOT_FOUND:
            failure.problem = PortProblem::NoDevice;
            break;
        default:
            break;
    }
    return failure;
}

PortFailure RunFailure(uint32_t systemError) {
    // What a USB serial adapter's driver answers once the adapter has been pulled out.
    const bool gone = systemError == ERROR_DEVICE_REMOVED || systemError == ERROR_BAD_COMMAND ||
                      systemError == ERROR_ACCESS_DENIED || systemError == ERROR_GEN_FAILURE ||
                      systemError == ERROR_DEVICE_NOT_CONNECTED;
    return PortFailure{gone ? PortProblem::DeviceGone : PortProblem::Failed,
                       static_cast<int>(systemError),
                       SystemText(systemError),
                       {}};
}

}  // namespace win32

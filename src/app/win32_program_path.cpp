// The running program's file on Windows, as the system loaded it.
#include <windows.h>

#include <filesystem>
#include <vector>

#include "app/app.hpp"

std::filesystem::path RunningProgram() {
    // Paths may be longer than MAX_PATH: the buffer grows until the name fits.
    std::vector<wchar_t> name(MAX_PATH);
    for (;;) {
        const DWORD length =
            GetModuleFileNameW(nullptr, name.data(), static_cast<DWORD>(name.size()));
        if (length == 0) {
            return {};
        }
        if (length < name.size()) {
            return std::filesystem::path(std::wstring(name.data(), length));
        }
        name.resize(name.size() * 2);
    }
}

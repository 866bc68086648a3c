// Firmware files on Windows: opened for reading with others free to read and write it too, then
// refused unless Windows calls it a file on a disk (not a console, a serial port, a pipe or
// another device); a folder cannot be opened this way at all.
#include <windows.h>

#include <algorithm>
#include <limits>
#include <string>

#include "firmware/regular_file.hpp"

namespace {

// The room a plain path has; a longer one needs the \\?\ form.
constexpr size_t kPlainPathRoom = MAX_PATH - 1;

HANDLE HandleOf(intptr_t file) {
    return reinterpret_cast<HANDLE>(file);
}

// The path as Windows' wide-character calls take it: converted from UTF-8 (every path inside the
// program is UTF-8, whatever the code page), and when it is too long for the plain form made
// absolute with the \\?\ prefix that lifts the limit.
std::wstring WidePath(const std::string& path) {
    const auto size = static_cast<int>(path.size());
    std::wstring wide(
        static_cast<size_t>(MultiByteToWideChar(CP_UTF8, 0, path.data(), size, nullptr, 0)), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, path.data(), size, wide.data(), static_cast<int>(wide.size()));
    if (wide.empty() || wide.rfind(L"\\\\?\\", 0) == 0) {
        return wide;
    }
    std::wstring absolute(GetFullPathNameW(wide.c_str(), 0, nullptr, nullptr), L'\0');
    absolute.resize(GetFullPathNameW(wide.c_str(), static_cast<DWORD>(absolute.size()),
                                     absolute.data(), nullptr));
    if (absolute.size() < kPlainPathRoom) {
        return wide;
    }
    if (absolute.rfind(L"\\\\", 0) == 0) {
        return L"\\\\?\\UNC\\" + absolute.substr(2);  // \\server\share\...
    }
    return L"\\\\?\\" + absolute;
}

}  // namespace

CRegularFile::CRegularFile(const std::string& path) {
    HANDLE handle = CreateFileW(WidePath(path).c_str(), GENERIC_READ,
                                FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (handle == INVALID_HANDLE_VALUE) {
        return;
    }
    if (GetFileType(handle) != FILE_TYPE_DISK) {
        CloseHandle(handle);
        return;
    }
    m_file = reinterpret_cast<intptr_t>(handle);
}

CRegularFile::~CRegularFile() {
    if (IsOpen()) {
        CloseHandle(HandleOf(m_file));
    }
}

int64_t CRegularFile::RemainingSize() {
    LARGE_INTEGER size{};
    LARGE_INTEGER position{};
    const LARGE_INTEGER none{};
    if (GetFileSizeEx(HandleOf(m_file), &size) == 0 ||
        SetFilePointerEx(HandleOf(m_file), none, &position, FILE_CURRENT) == 0) {
        return -1;
    }
    return std::max<int64_t>(0, size.QuadPart - position.QuadPart);
}

int64_t CRegularFile::Read(uint8_t* dst, size_t n) {
    size_t done = 0;
    while (done < n) {
        const auto chunk =
            static_cast<DWORD>(std::min<size_t>(n - done, std::numeric_limits<DWORD>::max()));
        DWORD got = 0;
        if (ReadFile(HandleOf(m_file), dst + done, chunk, &got, nullptr) == 0) {
            return -1;
        }
        if (got == 0) {
            break;
        }
        done += got;
    }
    return static_cast<int64_t>(done);
}

// The system's own communications calls behind the driver's seam, and the conversions between
// the program's UTF-8 and Windows' wide characters.
#include <windows.h>

#include <string>
#include <string_view>

#include "serial/win32_port.hpp"

namespace {

class CSystemCommCalls final : public win32::ICommCalls {
  public:
    HANDLE CreateFileW(const std::wstring& path) override {
        return ::CreateFileW(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                             FILE_ATTRIBUTE_NORMAL, nullptr);
    }
    BOOL GetCommState(HANDLE port, DCB* dcb) override { return ::GetCommState(port, dcb); }
    BOOL SetCommState(HANDLE port, DCB* dcb) override { return ::SetCommState(port, dcb); }
    BOOL GetCommTimeouts(HANDLE port, COMMTIMEOUTS* timeouts) override {
        return ::GetCommTimeouts(port, timeouts);
    }
    BOOL SetCommTimeouts(HANDLE port, COMMTIMEOUTS* timeouts) override {
        return ::SetCommTimeouts(port, timeouts);
    }
    BOOL SetupComm(HANDLE port, DWORD inBytes, DWORD outBytes) override {
        return ::SetupComm(port, inBytes, outBytes);
    }
    BOOL ClearCommError(HANDLE port, DWORD* errors, COMSTAT* status) override {
        return ::ClearCommError(port, errors, status);
    }
    BOOL PurgeComm(HANDLE port, DWORD flags) override { return ::PurgeComm(port, flags); }
    BOOL SetCommBreak(HANDLE port) override { return ::SetCommBreak(port); }
    BOOL ClearCommBreak(HANDLE port) override { return ::ClearCommBreak(port); }
    BOOL ReadFile(HANDLE port, void* data, DWORD n, DWORD* got) override {
        return ::ReadFile(port, data, n, got, nullptr);
    }
    BOOL WriteFile(HANDLE port, const void* data, DWORD n, DWORD* written) override {
        return ::WriteFile(port, data, n, written, nullptr);
    }
    DWORD GetLastError() override { return ::GetLastError(); }
    void SetLastError(DWORD error) override { ::SetLastError(error); }
};

}  // namespace

namespace win32 {

ICommCalls& SystemCommCalls() {
    static CSystemCommCalls calls;
    return calls;
}

std::wstring Wide(std::string_view utf8) {
    const auto size = static_cast<int>(utf8.size());
    std::wstring wide(
        static_cast<size_t>(MultiByteToWideChar(CP_UTF8, 0, utf8.data(), size, nullptr, 0)), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, utf8.data(), size, wide.data(), static_cast<int>(wide.size()));
    return wide;
}

std::string Utf8(std::wstring_view wide) {
    const auto size = static_cast<int>(wide.size());
    std::string utf8(static_cast<size_t>(WideCharToMultiByte(CP_UTF8, 0, wide.data(), size, nullptr,
                                                             0, nullptr, nullptr)),
                     '\0');
    WideCharToMultiByte(CP_UTF8, 0, wide.data(), size, utf8.data(), static_cast<int>(utf8.size()),
                        nullptr, nullptr);
    return utf8;
}

}  // namespace win32

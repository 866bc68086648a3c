// Windows' serial ports: which names are ports at all, why Windows refused an opening, and on a
// real COM1 (when the test run provides one) the rates, the break and the settings put back.
#include <gtest/gtest.h>
#include <windows.h>

#include <cstdlib>
#include <utility>

#include "line_fixture.hpp"
#include "serial/win32_port.hpp"

namespace serial_test {
namespace {

TEST(Win32Ports, OnlyCom1ToCom4AreOpenedAndRefusalsKeepWindowsReason) {
    win32::CPortSystem ports;
    for (const char* name : {"COM0", "COM5", "COM10", "com1", "LPT1", "COM1 ", "\\\\.\\COM1"}) {
        EXPECT_EQ(ports.Open(name), nullptr) << name;
    }

    const struct {
        DWORD error;
        win32::OpenProblem problem;
    } table[] = {
        {ERROR_ACCESS_DENIED, win32::OpenProblem::InUse},
        {ERROR_SHARING_VIOLATION, win32::OpenProblem::InUse},
        {ERROR_FILE_NOT_FOUND, win32::OpenProblem::NoSuchPort},
        {ERROR_PATH_NOT_FOUND, win32::OpenProblem::NoSuchPort},
        {ERROR_GEN_FAILURE, win32::OpenProblem::Failed},
    };
    for (const auto& row : table) {
        const win32::OpenFailure failure = win32::DescribeOpenFailure(row.error);
        EXPECT_EQ(failure.problem, row.problem) << row.error;
        EXPECT_EQ(failure.systemError, row.error);
        ASSERT_FALSE(failure.text.empty()) << row.error;
        EXPECT_NE(failure.text.back(), '\n') << failure.text;
    }
}

// COM1 opened directly, without the port layer.
class RawCom1 {
  public:
    RawCom1()
        : m_handle(CreateFileA("\\\\.\\COM1", GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                               OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr)) {}
    ~RawCom1() { CloseHandle(m_handle); }
    RawCom1(const RawCom1&) = delete;
    RawCom1& operator=(const RawCom1&) = delete;

    bool Read(DCB* state) const {
        *state = DCB{};
        state->DCBlength = sizeof(DCB);
        return m_handle != INVALID_HANDLE_VALUE && GetCommState(m_handle, state);
    }
    bool Write(DCB state) const { return SetCommState(m_handle, &state) != 0; }

  private:
    HANDLE m_handle;
};

// tools/console-update.sh sets TK358_TEST_COM1 when it has mapped COM1 to a pseudo-terminal.
TEST(Win32PortOnCom1, SetsEveryRateAndPutsBackThePortsOwnSettingsOnClose) {
    if (std::getenv("TK358_TEST_COM1") == nullptr) {
        GTEST_SKIP() << "no COM1 to use (TK358_TEST_COM1 is not set)";
    }
    // Settings of another program: 19,200 bit/s, 7 data bits, even parity, XON/XOFF. (Wine keeps
    // time-outs with the handle, not the port, so their return cannot be seen here.)
    DCB before{};
    {
        const RawCom1 com1;
        ASSERT_TRUE(com1.Read(&before));
        before.BaudRate = 19200;
        before.ByteSize = 7;
        before.Parity = EVENPARITY;
        before.fOutX = TRUE;
        ASSERT_TRUE(com1.Write(before));
        ASSERT_TRUE(com1.Read(&before));
    }
    // Wine hands a rate that termios has no constant for (56,000) to the serial driver as a
    // divisor on top of 38,400; a pseudo-terminal has no divisor and stays at 38,400.
    const bool underWine =
        GetProcAddress(GetModuleHandleA("ntdll.dll"), "wine_get_version") != nullptr;

    TestPort port(SystemPorts());
    ASSERT_EQ(port.OpenPort(1), kStatusOk);
    const std::pair<int, uint32_t> rates[] = {{96, 9600},   {192, 19200},   {384, 38400},
                                              {576, 56000}, {1152, 115200}, {2304, 1200}};
    for (auto [code, baud] : rates) {
        ASSERT_EQ(port.SetPortSpeed(code), kStatusOk) << code;
        LineSettings settings;
        ASSERT_TRUE(port.m_hPort->GetSettings(&settings));
        EXPECT_EQ(settings.baudRate, underWine && baud == 56000 ? 38400 : baud);
        EXPECT_EQ(settings.byteSize, 8);
        EXPECT_EQ(settings.parity, 0);
        EXPECT_EQ(settings.stopBits, 0);
    }
    EXPECT_TRUE(port.m_hPort->SetBreak(true));
    EXPECT_TRUE(port.m_hPort->SetBreak(false));
    port.ClosePort();

    const RawCom1 com1;
    DCB after{};
    ASSERT_TRUE(com1.Read(&after));
    EXPECT_EQ(after.BaudRate, before.BaudRate);
    EXPECT_EQ(after.ByteSize, before.ByteSize);
    EXPECT_EQ(after.Parity, before.Parity);
    EXPECT_EQ(after.fOutX, before.fOutX);
    EXPECT_EQ(after.fAbortOnError, before.fAbortOnError);
}

}  // namespace
}  // namespace serial_test

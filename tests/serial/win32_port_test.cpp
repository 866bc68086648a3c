// Windows' serial ports: which names are ports at all, why Windows refused an opening, and on a
// real COM1 (when the test run provides one) the rates, the break and the settings put back.
#include <gtest/gtest.h>
#include <windows.h>

#include <cstdlib>
#include <thread>
#include <utility>

#include "line_fixture.hpp"
#include "serial/win32_port.hpp"

namespace serial_test {
namespace {

TEST(Win32Ports, NamesAndRefusalsKeepWindowsReason) {
    // Only COM1 to COM4 are opened by name; a device named for COM1 stands in for it.
    PortOverrides overrides;
    overrides[0] = {"\\\\.\\NUL", "--port"};
    overrides[1] = {"COM99", "--port"};
    win32::CPortSystem ports(overrides);
    for (const char* name : {"COM0", "COM5", "COM10", "com1", "LPT1", "COM1 ", "\\\\.\\COM1"}) {
        PortFailure failure;
        EXPECT_EQ(ports.Open(name, &failure), nullptr) << name;
        EXPECT_EQ(failure.problem, PortProblem::NoDevice) << name;
    }
    const PortMap map = ports.Ports();
    EXPECT_EQ(map.com[0].device, "\\\\.\\NUL");
    EXPECT_EQ(map.com[0].description, "\\Device\\Null");
    EXPECT_EQ(map.com[1].description, "no such port");
    EXPECT_EQ(map.com[1].namedBy, "--port");
    PortFailure failure;
    EXPECT_EQ(ports.Open("COM1", &failure), nullptr);
    EXPECT_EQ(failure.problem, PortProblem::NotATerminal);
    EXPECT_EQ(ports.Open("COM2", &failure), nullptr);
    EXPECT_EQ(failure.problem, PortProblem::NoDevice);
    EXPECT_EQ(failure.systemError, ERROR_FILE_NOT_FOUND);

    for (const char* name : {"COM7", "com12", "COM0", "\\\\.\\COM3"}) {
        EXPECT_TRUE(NamesSystemDevice(name)) << name;
    }
    for (const char* name : {"COM1", "com4", "/dev/ttyUSB0", "AUTO", "COM", "COM7x"}) {
        EXPECT_FALSE(NamesSystemDevice(name)) << name;
    }

    const struct {
        DWORD error;
        PortProblem opening;
        PortProblem open;
    } table[] = {
        {ERROR_ACCESS_DENIED, PortProblem::InUse, PortProblem::DeviceGone},
        {ERROR_SHARING_VIOLATION, PortProblem::InUse, PortProblem::Failed},
        {ERROR_FILE_NOT_FOUND, PortProblem::NoDevice, PortProblem::Failed},
        {ERROR_PATH_NOT_FOUND, PortProblem::NoDevice, PortProblem::Failed},
        {ERROR_BAD_COMMAND, PortProblem::Failed, PortProblem::DeviceGone},
        {ERROR_DEVICE_REMOVED, PortProblem::Failed, PortProblem::DeviceGone},
    };
    for (const auto& row : table) {
        const PortFailure opening = win32::OpenFailure(row.error);
        EXPECT_EQ(opening.problem, row.opening) << row.error;
        EXPECT_EQ(opening.systemError, static_cast<int>(row.error));
        ASSERT_FALSE(opening.text.empty()) << row.error;
        EXPECT_NE(opening.text.back(), '\n') << opening.text;
        EXPECT_EQ(win32::RunFailure(row.error).problem, row.open) << row.error;
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

void ExpectSettingsOf(const DCB& before, const char* how) {
    const RawCom1 com1;
    DCB after{};
    ASSERT_TRUE(com1.Read(&after)) << how;
    EXPECT_EQ(after.BaudRate, before.BaudRate) << how;
    EXPECT_EQ(after.ByteSize, before.ByteSize) << how;
    EXPECT_EQ(after.Parity, before.Parity) << how;
    EXPECT_EQ(after.fOutX, before.fOutX) << how;
    EXPECT_EQ(after.fAbortOnError, before.fAbortOnError) << how;
}

// tools/console-update.sh sets TK358_TEST_COM1 when it has mapped COM1 to a pseudo-terminal.
TEST(Win32PortOnCom1, SetsEveryRateAndPutsBackThePortsOwnSettingsOnCloseOrRelease) {
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

    const std::unique_ptr<IPortSystem> ports = MakeSystemPorts();
    TestPort port(*ports);
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
    ExpectSettingsOf(before, "closed");

    // Released from another thread, as the console's Ctrl+C does: the port is put back and
    // closed at once, and its owner finds it failing.
    ASSERT_EQ(port.OpenPort(1), kStatusOk);
    ASSERT_EQ(port.SetPortSpeed(1152), kStatusOk);
    std::thread([] { ReleaseOpenPorts(); }).join();
    ExpectSettingsOf(before, "released");
    EXPECT_FALSE(port.m_hPort->SetBreak(true));
    EXPECT_NE(port.m_hPort->LastFailure().problem, PortProblem::None);
    port.ClosePort();
    TestPort next(*ports);
    EXPECT_EQ(next.OpenPort(1), kStatusOk);
}

}  // namespace
}  // namespace serial_test

// Windows' serial ports: which names are ports at all, why Windows refused an opening, the ports
// Windows knows, line errors on a recorded line (Wine cannot produce them), and on a real COM1
// (when the test run provides one) the rates, the break and the settings put back.
#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>
#include <cstdlib>
#include <deque>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "line_fixture.hpp"
#include "serial/win32_port.hpp"
#include "sim/sim.hpp"

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

// The ports Windows knows as a recorded answer of the device map and the Ports class.
class RecordedCatalogue final : public win32::IPortCatalogue {
  public:
    std::vector<win32::KnownPort> KnownPorts() override { return ports; }
    std::string DeviceBehind(const std::string& name) override {
        return name == "NUL" ? "\\Device\\Null" : "";
    }
    std::vector<win32::KnownPort> ports;
};

TEST(Win32Ports, EveryKnownPortIsListedWithWhatWindowsSaysOfIt) {
    RecordedCatalogue catalogue;
    catalogue.ports = {
        {"COM12", "\\Device\\VCP1", "USB-SERIAL CH340 (COM12)", "wch.cn",
         "USB\\VID_1A86&PID_7523&REV_0264"},
        {"COM3", "\\Device\\Serial2", "", "", ""},
        {"COM7", "\\Device\\VCP0", "USB Serial Port (COM7)", "FTDI",
         "FTDIBUS\\VID_0403+PID_6001+A12345A\\0000"},
        {"COM1", "\\Device\\Serial0", "Communications Port (COM1)", "(Standard port types)",
         "ACPI\\PNP0501"},
        {"LPT1", "", "Printer Port (LPT1)", "", ""},
        {"COM4", "\\Device\\Serial3", "", "", ""},
    };
    PortMap map = win32::MapKnownPorts(catalogue, {});
    EXPECT_EQ(map.com[0].device, "COM1");
    EXPECT_EQ(map.com[0].description, "Communications Port, (Standard port types)");
    EXPECT_TRUE(map.com[1].device.empty());
    EXPECT_EQ(map.com[2].description, "\\Device\\Serial2");
    EXPECT_EQ(map.com[3].device, "COM4");
    ASSERT_EQ(map.unmapped.size(), 2u);
    EXPECT_EQ(map.unmapped[0].device, "COM7");
    EXPECT_EQ(map.unmapped[0].description, "USB Serial Port, FTDI, USB 0403:6001");
    EXPECT_EQ(map.unmapped[1].device, "COM12");
    EXPECT_EQ(map.unmapped[1].description, "USB-SERIAL CH340, wch.cn, USB 1a86:7523");

    // --port COM7 stands for COM1 with what Windows says of it; the port it displaces is one of
    // the others now. A name Windows does not know says so.
    PortOverrides overrides;
    overrides[0] = {"COM7", "--port"};
    overrides[1] = {"\\\\.\\NUL", "--port"};
    overrides[2] = {"COM99", "--port"};
    map = win32::MapKnownPorts(catalogue, overrides);
    EXPECT_EQ(map.com[0].description, "USB Serial Port, FTDI, USB 0403:6001");
    EXPECT_EQ(map.com[0].namedBy, "--port");
    EXPECT_EQ(map.com[1].description, "\\Device\\Null");
    EXPECT_EQ(map.com[2].description, "no such port");
    ASSERT_EQ(map.unmapped.size(), 3u);
    EXPECT_EQ(map.unmapped[0].device, "COM1");
    EXPECT_EQ(map.unmapped[1].device, "COM3");
    EXPECT_EQ(map.unmapped[2].device, "COM12");
}

// A line behind the communications calls, recorded: what the driver calls, in order, with line
// errors and failures that a real port produces and Wine cannot.
class RecordedLine final : public win32::ICommCalls {
  public:
    HANDLE CreateFileW(const std::wstring& /*path*/) override {
        m_lastError = openError;
        // A real handle that is no port: the port registry closes it.
        return openError != 0 ? INVALID_HANDLE_VALUE : CreateEventW(nullptr, TRUE, FALSE, nullptr);
    }
    BOOL GetCommState(HANDLE, DCB* dcb) override { return *dcb = m_dcb, TRUE; }
    BOOL SetCommState(HANDLE, DCB* dcb) override { return m_dcb = *dcb, TRUE; }
    BOOL GetCommTimeouts(HANDLE, COMMTIMEOUTS*) override { return TRUE; }
    BOOL SetCommTimeouts(HANDLE, COMMTIMEOUTS*) override { return TRUE; }
    BOOL SetupComm(HANDLE, DWORD, DWORD) override { return TRUE; }
    BOOL ClearCommError(HANDLE, DWORD* errors, COMSTAT* status) override {
        Note("ClearCommError");
        *errors = lineError ? CE_FRAME : 0;
        lineError = false;
        if (status != nullptr) {
            *status = COMSTAT{};
            status->cbInQue = static_cast<DWORD>(input.size());
            // A byte with a framing error arrives just after the counting.
            lineError = errorAfterCount;
            errorAfterCount = false;
        }
        return TRUE;
    }
    BOOL PurgeComm(HANDLE, DWORD) override { return TRUE; }
    BOOL SetCommBreak(HANDLE) override { return TRUE; }
    BOOL ClearCommBreak(HANDLE) override { return TRUE; }
    BOOL ReadFile(HANDLE, void* data, DWORD n, DWORD* got) override {
        Note("ReadFile");
        *got = 0;
        if (!Usable()) {
            return FALSE;
        }
        auto* bytes = static_cast<uint8_t*>(data);
        while (*got < n && !input.empty()) {
            bytes[(*got)++] = input.front();
            input.pop_front();
        }
        return TRUE;
    }
    BOOL WriteFile(HANDLE, const void*, DWORD n, DWORD* written) override {
        Note("WriteFile");
        *written = Usable() ? n : 0;
        return *written == n ? TRUE : FALSE;
    }
    DWORD GetLastError() override { return m_lastError; }
    void SetLastError(DWORD error) override { m_lastError = error; }

    // The call names recorded, those of the reads and writes and the clearings around them.
    std::vector<std::string> calls;
    std::deque<uint8_t> input;
    bool lineError = false;  // a framing error is flagged: reads and writes fail until cleared
    bool errorAfterCount = false;  // the next queue count is followed by a framing error
    DWORD failure = 0;             // the next read or write itself fails with this error
    DWORD openError = 0;           // CreateFile fails with this error

  private:
    void Note(const char* name) { calls.emplace_back(name); }
    // Abort on error: a pending line error fails the call; so does a failure of its own.
    bool Usable() {
        if (lineError) {
            m_lastError = ERROR_OPERATION_ABORTED;
            return false;
        }
        if (failure != 0) {
            m_lastError = failure;
            return false;
        }
        return true;
    }

    DCB m_dcb{};
    DWORD m_lastError = 0;
};

TEST(Win32PortLineErrors, AnErrorFlaggedEarlierIsClearedBeforeEveryReadAndWrite) {
    RecordedLine line;
    RecordedCatalogue catalogue;
    win32::CPortSystem ports({}, catalogue, line);
    sim::VirtualClock clock;
    const ScopedClock useClock(clock);
    TestPort port(ports);
    ASSERT_EQ(port.OpenPort(1), kStatusOk);

    // A framing error flagged after the queues were counted (a break, a speed change): the read
    // and the write still succeed, each after a clearing.
    line.input = {0x10, 0x20, 0x30};
    line.errorAfterCount = true;
    line.calls.clear();
    port.m_recvLen = 3;
    EXPECT_EQ(port.ReadPort(100), kStatusOk);
    EXPECT_EQ(port.m_recvBuf[2], 0x30);
    ASSERT_GE(line.calls.size(), 2u);
    EXPECT_EQ(line.calls[line.calls.size() - 2], "ClearCommError");
    EXPECT_EQ(line.calls.back(), "ReadFile");

    line.errorAfterCount = true;
    line.calls.clear();
    port.m_sendLen = 1;
    EXPECT_EQ(port.WritePort(100), kStatusOk);
    const auto write = std::find(line.calls.begin(), line.calls.end(), "WriteFile");
    ASSERT_NE(write, line.calls.end());
    EXPECT_EQ(*(write - 1), "ClearCommError");

    // Only a failure of the read or the write itself is status 8, with Windows' reason kept
    // and the line errors cleared once more.
    for (const bool reading : {true, false}) {
        line.input = {0x10};
        line.failure = ERROR_GEN_FAILURE;
        line.calls.clear();
        port.m_recvLen = 1;
        EXPECT_EQ(reading ? port.ReadPort(100) : port.WritePort(100), kStatusPortFailed);
        const char* call = reading ? "ReadFile" : "WriteFile";
        const auto failed = std::find(line.calls.begin(), line.calls.end(), call);
        ASSERT_NE(failed, line.calls.end()) << call;
        ASSERT_NE(failed + 1, line.calls.end()) << call;
        EXPECT_EQ(*(failed + 1), "ClearCommError") << call;
        EXPECT_EQ(port.m_hPort->LastFailure().systemError, ERROR_GEN_FAILURE) << call;
        EXPECT_EQ(port.m_hPort->LastFailure().problem, PortProblem::DeviceGone) << call;
        port.ClosePort();
        line.failure = 0;
        ASSERT_EQ(port.OpenPort(1), kStatusOk);
    }
    port.ClosePort();

    // A port another program holds keeps Windows' reason.
    line.openError = ERROR_ACCESS_DENIED;
    EXPECT_EQ(port.OpenPort(2), kStatusPortFailed);
    const PortFailure held = port.PortsTried().back().failure;
    EXPECT_EQ(held.problem, PortProblem::InUse);
    EXPECT_EQ(held.systemError, ERROR_ACCESS_DENIED);
    EXPECT_EQ(held.text, win32::SystemText(ERROR_ACCESS_DENIED));
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

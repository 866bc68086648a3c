// The POSIX driver on a real pseudo-terminal pair, and the reasons for refused devices. The
// tool's side is the terminal's slave end, mapped to COM1.
#include <fcntl.h>
#include <poll.h>
#include <stdlib.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "line_fixture.hpp"
#include "serial/posix_checks.hpp"

namespace serial_test {
namespace {

// A port system whose COMn is `device`.
CPosixPortSystem PortsWith(int portNumber, const std::string& device) {
    PortMap map;
    map.com[static_cast<size_t>(portNumber - 1)].device = device;
    return CPosixPortSystem(std::move(map));
}

// A pseudo-terminal's master end; the slave's path is empty when none could be had.
int OpenMaster() {
    const int master = posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (master >= 0 && (grantpt(master) != 0 || unlockpt(master) != 0)) {
        close(master);
        return -1;
    }
    return master;
}

class PseudoTerminalTest : public ::testing::Test {
  protected:
    void SetUp() override { ASSERT_FALSE(m_slavePath.empty()); }

    void TearDown() override {
        if (port.IsPortOpen()) {
            port.ClosePort();
        }
        CloseMaster();
    }

    void CloseMaster() {
        if (m_master >= 0) {
            close(m_master);
            m_master = -1;
        }
    }

    void MasterWrite(const std::vector<uint8_t>& bytes) {
        ASSERT_EQ(write(m_master, bytes.data(), bytes.size()), static_cast<ssize_t>(bytes.size()));
    }

    // Reads n bytes from the master end; gives up after 5 s without data so a fault cannot hang.
    std::vector<uint8_t> MasterRead(size_t n) {
        std::vector<uint8_t> got;
        while (got.size() < n) {
            pollfd p{m_master, POLLIN, 0};
            if (poll(&p, 1, 5000) <= 0) {
                break;
            }
            uint8_t chunk[512];
            const ssize_t r = read(m_master, chunk, std::min(sizeof chunk, n - got.size()));
            if (r <= 0) {
                break;
            }
            got.insert(got.end(), chunk, chunk + r);
        }
        return got;
    }

    // Waits (bounded) until the port's input queue holds at least n bytes; returns the count.
    uint32_t AwaitQueued(uint32_t n) {
        const uint32_t giveUp = NowMs() + 5000;
        uint32_t count = 0;
        while (port.QueuedInput(&count) == kStatusOk && count < n &&
               !TimeReached(NowMs(), giveUp)) {
            port.WaitInput(giveUp);
        }
        return count;
    }

    int m_master = OpenMaster();
    std::string m_slavePath = m_master >= 0 ? ptsname(m_master) : "";
    CPosixPortSystem m_ports = PortsWith(1, m_slavePath);
    TestPort port{m_ports};
};

TEST_F(PseudoTerminalTest, WritesReadsCountsPurgesAndSetsEveryRate) {
    ASSERT_EQ(port.OpenPort(1), kStatusOk);

    // Binary-clean both ways: every byte value, flow-control and line-end bytes included.
    std::vector<uint8_t> all(256);
    for (int i = 0; i < 256; ++i) {
        all[static_cast<size_t>(i)] = static_cast<uint8_t>(i);
    }
    std::copy(all.begin(), all.end(), port.m_sendBuf);
    port.m_sendLen = 256;
    ASSERT_EQ(port.WritePort(200), kStatusOk);
    EXPECT_EQ(MasterRead(256), all);

    MasterWrite(all);
    port.m_recvLen = 256;
    ASSERT_EQ(port.ReadPort(2000), kStatusOk);
    EXPECT_EQ(std::vector<uint8_t>(port.m_recvBuf, port.m_recvBuf + 256), all);

    // Nine of twelve read, three left; a purge empties the queue.
    MasterWrite({1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12});
    EXPECT_EQ(AwaitQueued(12), 12u);
    port.m_recvLen = 9;
    ASSERT_EQ(port.ReadPort(0), kStatusOk);
    EXPECT_EQ(port.m_recvBuf[8], 9);
    uint32_t left = 0;
    ASSERT_EQ(port.QueuedInput(&left), kStatusOk);
    EXPECT_EQ(left, 3u);
    port.PurgePort(1);
    ASSERT_EQ(port.QueuedInput(&left), kStatusOk);
    EXPECT_EQ(left, 0u);

    // A read that times out with bytes pending reports and discards them.
    MasterWrite({0x77, 0x78});
    EXPECT_EQ(AwaitQueued(2), 2u);
    port.m_recvLen = 5;
    EXPECT_EQ(port.ReadPort(0), kStatusTimeout);
    EXPECT_EQ(port.m_recvLen, 2);
    ASSERT_EQ(port.QueuedInput(&left), kStatusOk);
    EXPECT_EQ(left, 0u);

    const std::pair<int, uint32_t> table[] = {{96, 9600},   {192, 19200},   {384, 38400},
                                              {576, 56000}, {1152, 115200}, {2304, 1200}};
    for (auto [code, baud] : table) {
        ASSERT_EQ(port.SetPortSpeed(code), kStatusOk) << code;
        LineSettings settings;
        ASSERT_TRUE(port.m_hPort->GetSettings(&settings));
        EXPECT_EQ(settings.baudRate, baud);
        EXPECT_EQ(settings.byteSize, 8);
        EXPECT_EQ(settings.parity, 0);
        EXPECT_EQ(settings.stopBits, 0);
    }
    EXPECT_EQ(port.SetPortSpeed(100), kStatusBadArgument);

    // A pseudo-terminal accepts the break requests.
    EXPECT_TRUE(port.m_hPort->SetBreak(true));
    EXPECT_TRUE(port.m_hPort->SetBreak(false));

    // A speed change and the close wait until the bytes written have had the time to leave the
    // line: 12 bytes at 1,200 bit/s take 100 ms.
    for (const bool closing : {false, true}) {
        ASSERT_EQ(port.SetPortSpeed(2304), kStatusOk);
        port.m_sendLen = 12;
        const uint32_t start = NowMs();
        ASSERT_EQ(port.WritePort(2000), kStatusOk);
        closing ? port.ClosePort() : static_cast<void>(port.SetPortSpeed(96));
        EXPECT_GE(NowMs() - start, 100u) << closing;
    }
}

// Another instance of the tool (a child process) holds the port: the opening is refused as busy
// and names that process; once the other lets go, the port opens.
TEST_F(PseudoTerminalTest, APortHeldByAnotherProcessIsBusyAndNamesIt) {
    int ready[2];
    int release[2];
    ASSERT_EQ(pipe(ready), 0);
    ASSERT_EQ(pipe(release), 0);
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        close(ready[0]);
        close(release[1]);  // so that the parent's close ends the wait below
        std::unique_ptr<IPortDriver> held = m_ports.Open("COM1", nullptr);
        const char opened = held != nullptr ? 'y' : 'n';
        char done = 0;
        if (write(ready[1], &opened, 1) == 1 && read(release[0], &done, 1) >= 0) {
            held.reset();
        }
        _exit(0);
    }
    close(ready[1]);
    close(release[0]);
    char opened = 0;
    ASSERT_EQ(read(ready[0], &opened, 1), 1);
    ASSERT_EQ(opened, 'y');

    EXPECT_EQ(port.OpenPort(1), kStatusPortFailed);
    const std::vector<PortAttempt> tried = port.PortsTried();
    ASSERT_EQ(tried.size(), 1u);
    EXPECT_EQ(tried[0].failure.problem, PortProblem::InUse);
    EXPECT_NE(tried[0].failure.detail.find("process " + std::to_string(child)), std::string::npos)
        << tried[0].failure.detail;

    close(release[1]);
    close(ready[0]);
    ASSERT_EQ(waitpid(child, nullptr, 0), child);
    EXPECT_EQ(port.OpenPort(1), kStatusOk);

    // This process holding it is never named; a pseudo-terminal's holders never keep the
    // search away (its other side always has a program).
    struct stat info {};
    ASSERT_EQ(stat(m_slavePath.c_str(), &info), 0);
    EXPECT_EQ(posix::HoldersOf(info.st_rdev), "");
    EXPECT_TRUE(posix::IsPseudoTerminal(info.st_rdev));
    ASSERT_EQ(stat("/dev/null", &info), 0);
    EXPECT_FALSE(posix::IsPseudoTerminal(info.st_rdev));
}

// Started with standard output and error closed, the process gets /dev/null on them before
// anything is opened: a port opened afterwards never takes their numbers.
TEST_F(PseudoTerminalTest, ClosedStandardDescriptorsAreFilledBeforeAPortIsOpened) {
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        close(STDOUT_FILENO);
        close(STDERR_FILENO);
        FillClosedStandardDescriptors();
        struct stat null {};
        struct stat out {};
        struct stat err {};
        const bool filled = stat("/dev/null", &null) == 0 && fstat(STDOUT_FILENO, &out) == 0 &&
                            fstat(STDERR_FILENO, &err) == 0 && out.st_rdev == null.st_rdev &&
                            err.st_rdev == null.st_rdev;
        std::unique_ptr<IPortDriver> held = m_ports.Open("COM1", nullptr);
        const int next = dup(STDIN_FILENO);  // the lowest free number
        _exit(filled && held != nullptr && next > STDERR_FILENO ? 0 : 1);
    }
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
}

// Whether the port closes or a signal handler releases it before the process ends, the terminal
// keeps no trace of the tool: its settings as found, no exclusive use, no file lock.
TEST_F(PseudoTerminalTest, ClosingOrReleasingPutsTheTerminalBackAsFound) {
    const int watch = open(m_slavePath.c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC);
    ASSERT_GE(watch, 0);
    termios found{};
    ASSERT_EQ(tcgetattr(watch, &found), 0);
    found.c_lflag |= ICANON | ECHO | ISIG;
    found.c_iflag |= ICRNL | IXON | IXOFF | IXANY;
    found.c_cflag = (found.c_cflag & ~static_cast<tcflag_t>(CLOCAL)) | CRTSCTS;  // a pty keeps it
    cfsetspeed(&found, B19200);
    ASSERT_EQ(tcsetattr(watch, TCSANOW, &found), 0);
    ASSERT_EQ(tcgetattr(watch, &found), 0);

    for (const bool releasedBySignalHandler : {false, true}) {
        ASSERT_EQ(port.OpenPort(1), kStatusOk);
        ASSERT_EQ(port.SetPortSpeed(1152), kStatusOk);
        // Modem lines ignored, receiver on, no flow control of either kind.
        termios open{};
        ASSERT_EQ(tcgetattr(watch, &open), 0);
        EXPECT_EQ(open.c_cflag & (CLOCAL | CREAD | CRTSCTS), tcflag_t{CLOCAL | CREAD});
        EXPECT_EQ(open.c_iflag & (IXON | IXOFF | IXANY), 0u);
        int exclusive = 0;
        ASSERT_EQ(ioctl(watch, TIOCGEXCL, &exclusive), 0);
        ASSERT_EQ(exclusive, 1);
        if (releasedBySignalHandler) {
            ReleaseOpenPorts();
        }
        port.ClosePort();

        termios now{};
        ASSERT_EQ(tcgetattr(watch, &now), 0);
        EXPECT_EQ(now.c_iflag, found.c_iflag) << releasedBySignalHandler;
        EXPECT_EQ(now.c_oflag, found.c_oflag) << releasedBySignalHandler;
        EXPECT_EQ(now.c_cflag, found.c_cflag) << releasedBySignalHandler;
        EXPECT_EQ(now.c_lflag, found.c_lflag) << releasedBySignalHandler;
        EXPECT_EQ(cfgetospeed(&now), B19200) << releasedBySignalHandler;
        ASSERT_EQ(ioctl(watch, TIOCGEXCL, &exclusive), 0);
        EXPECT_EQ(exclusive, 0) << releasedBySignalHandler;
        TestPort next(m_ports);
        EXPECT_EQ(next.OpenPort(1), kStatusOk) << releasedBySignalHandler;
        next.ClosePort();
    }
    close(watch);
}

TEST_F(PseudoTerminalTest, AVanishedDeviceFailsWithStatus8AndTheReasonIsKept) {
    ASSERT_EQ(port.OpenPort(1), kStatusOk);
    CloseMaster();
    port.m_recvLen = 4;
    uint32_t status = port.ReadPort(60'000);
    if (status == kStatusTimeout) {
        status = port.ReadPort(60'000);  // the hang-up shows at the latest on the next wait
    }
    EXPECT_EQ(status, kStatusPortFailed);
    port.ClosePort();
    EXPECT_EQ(port.PortsTried().back().failure.problem, PortProblem::DeviceGone);
}

// What is no terminal is refused with that reason, before anything is written to it.
TEST(PosixPortReasons, WhatIsNoTerminalIsRefusedUntouched) {
    sim::VirtualClock clock;  // the opening's settling delay would otherwise be real time
    ScopedClock useClock(clock);
    char pattern[] = "/tmp/tk358fw-port-XXXXXX";
    const std::string dir = mkdtemp(pattern);
    const std::string file = dir + "/file";
    std::ofstream(file) << "kept";
    const struct {
        std::string device;
        PortProblem problem;
    } cases[] = {{file, PortProblem::NotATerminal},
                 {dir, PortProblem::NotATerminal},
                 {"/dev/null", PortProblem::NotATerminal},
                 {dir + "/missing", PortProblem::NoDevice},
                 {"", PortProblem::NoDevice},
                 {"/dev/console", PortProblem::SystemConsole},
                 {"/dev/tty0", PortProblem::SystemConsole}};
    for (const auto& c : cases) {
        if (c.problem == PortProblem::SystemConsole && access(c.device.c_str(), F_OK) != 0) {
            continue;  // a machine without that device
        }
        CPosixPortSystem ports = PortsWith(3, c.device);
        TestPort port(ports);
        EXPECT_EQ(port.OpenPort(3), kStatusPortFailed) << c.device;
        ASSERT_EQ(port.PortsTried().size(), 1u);
        EXPECT_EQ(port.PortsTried()[0].failure.problem, c.problem) << c.device;
        EXPECT_FALSE(port.PortsTried()[0].failure.text.empty()) << c.device;
    }
    std::string content;
    std::getline(std::ifstream(file), content);
    EXPECT_EQ(content, "kept");

    // The consoles the kernel names: tty0 stands for the virtual terminal in front.
    const auto attribute = [&dir](const std::string& path, const std::string& value) {
        std::filesystem::create_directories(std::filesystem::path(dir + path).parent_path());
        std::ofstream(dir + path) << value << "\n";
    };
    attribute("/console/active", "tty0 ttyS1 ../evil");
    attribute("/tty0/active", "tty2");
    attribute("/tty0/dev", "4:0");
    attribute("/tty2/dev", "4:2");
    attribute("/ttyS1/dev", "4:65");
    attribute("/evil/dev", "1:3");
    const std::vector<dev_t> expected = {makedev(5, 1), makedev(4, 0), makedev(4, 2),
                                         makedev(4, 65)};
    EXPECT_EQ(posix::ConsoleDevices(dir), expected);
    std::filesystem::remove_all(dir);
}

TEST(VirtualTimeoutTest, ATwoSecondTimeoutCompletesWithoutRealWaiting) {
    sim::VirtualClock clock;
    ScopedClock useClock(clock);
    sim::VirtualLine line(clock);
    sim::VirtualPortSystem ports;
    ports.Connect(1, &line);
    TestPort port(ports);
    ASSERT_EQ(port.OpenPort(1), kStatusOk);
    const uint32_t start = clock.NowMs();
    port.m_recvLen = 12;
    EXPECT_EQ(port.ReadPort(2000), kStatusTimeout);
    EXPECT_EQ(clock.NowMs(), start + 2012);
    port.ClosePort();
}

}  // namespace
}  // namespace serial_test

// The POSIX driver on a real pseudo-terminal pair, and the COMn device mapping. The tool's side
// is the terminal's slave end, reached as COM1 through TK358FW_COM1.
#include <fcntl.h>
#include <poll.h>
#include <stdlib.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "line_fixture.hpp"

namespace serial_test {
namespace {

// Sets an environment variable for the lifetime of the object.
class ScopedEnv {
  public:
    ScopedEnv(const char* name, const std::string& value) : m_name(name) {
        if (const char* old = getenv(name)) {
            m_old = old;
            m_had = true;
        }
        setenv(name, value.c_str(), 1);
    }
    ~ScopedEnv() {
        if (m_had) {
            setenv(m_name, m_old.c_str(), 1);
        } else {
            unsetenv(m_name);
        }
    }
    ScopedEnv(const ScopedEnv&) = delete;
    ScopedEnv& operator=(const ScopedEnv&) = delete;

  private:
    const char* m_name;
    std::string m_old;
    bool m_had = false;
};

class PseudoTerminalTest : public ::testing::Test {
  protected:
    void SetUp() override {
        m_master = posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
        ASSERT_GE(m_master, 0);
        ASSERT_EQ(grantpt(m_master), 0);
        ASSERT_EQ(unlockpt(m_master), 0);
        m_slavePath = ptsname(m_master);
        m_env = std::make_unique<ScopedEnv>("TK358FW_COM1", m_slavePath);
    }

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

    int m_master = -1;
    std::string m_slavePath;
    std::unique_ptr<ScopedEnv> m_env;
    TestPort port{PosixPortSystem()};
};

TEST_F(PseudoTerminalTest, WritesReadsCountsPurgesAndSetsEveryRate) {
    ASSERT_EQ(PosixDeviceForPort(1), m_slavePath);
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
}

TEST_F(PseudoTerminalTest, ThePortIsExclusiveAndFreeAgainAfterClosing) {
    ASSERT_EQ(port.OpenPort(1), kStatusOk);
    TestPort second(PosixPortSystem());
    EXPECT_EQ(second.OpenPort(1), kStatusPortFailed);
    port.ClosePort();
    EXPECT_EQ(second.OpenPort(1), kStatusOk);
    second.ClosePort();
}

// Whether the port closes or a signal handler releases it before the process ends, the terminal
// keeps no trace of the tool: its settings as found, no exclusive use, no file lock.
TEST_F(PseudoTerminalTest, ClosingOrReleasingPutsTheTerminalBackAsFound) {
    const int watch = open(m_slavePath.c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC);
    ASSERT_GE(watch, 0);
    termios found{};
    ASSERT_EQ(tcgetattr(watch, &found), 0);
    found.c_lflag |= ICANON | ECHO | ISIG;
    found.c_iflag |= ICRNL | IXON;
    cfsetspeed(&found, B19200);
    ASSERT_EQ(tcsetattr(watch, TCSANOW, &found), 0);
    ASSERT_EQ(tcgetattr(watch, &found), 0);

    for (const bool releasedBySignalHandler : {false, true}) {
        ASSERT_EQ(port.OpenPort(1), kStatusOk);
        ASSERT_EQ(port.SetPortSpeed(1152), kStatusOk);
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
        TestPort next(PosixPortSystem());
        EXPECT_EQ(next.OpenPort(1), kStatusOk) << releasedBySignalHandler;
        next.ClosePort();
    }
    close(watch);
}

TEST_F(PseudoTerminalTest, AVanishedDeviceFailsWithStatus8InsteadOfHanging) {
    ASSERT_EQ(port.OpenPort(1), kStatusOk);
    CloseMaster();
    port.m_recvLen = 4;
    uint32_t status = port.ReadPort(60'000);
    if (status == kStatusTimeout) {
        status = port.ReadPort(60'000);  // the hang-up shows at the latest on the next wait
    }
    EXPECT_EQ(status, kStatusPortFailed);
}

TEST(PosixPortNamesTest, EnvironmentNamesTheDeviceAndBadNamesAreAbsent) {
    ScopedEnv com3("TK358FW_COM3", "/dev/does-not-exist-tk358");
    EXPECT_EQ(PosixDeviceForPort(3), "/dev/does-not-exist-tk358");
    EXPECT_EQ(PosixDeviceForPort(0), "");
    EXPECT_EQ(PosixDeviceForPort(5), "");

    sim::VirtualClock clock;  // the opening's settling delay would otherwise be real time
    ScopedClock useClock(clock);
    TestPort port(PosixPortSystem());
    EXPECT_EQ(port.OpenPort(3), kStatusPortFailed);
    {
        ScopedEnv notATerminal("TK358FW_COM3", "/dev/null");
        EXPECT_EQ(port.OpenPort(3), kStatusPortFailed);
    }
    EXPECT_FALSE(port.IsPortOpen());
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

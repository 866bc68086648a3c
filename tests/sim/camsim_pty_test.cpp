// The program tk358-camsim on a real pseudo-terminal, reached through the tool's POSIX ports.
#include <gtest/gtest.h>
#include <poll.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

#include "serial/serial.hpp"

extern char** environ;

namespace {

using Bytes = std::vector<uint8_t>;
constexpr uint32_t kGenerousMs = 10'000;

std::string CamsimPath() {
    const char* dir = std::getenv("TK358_TEST_BIN");
    return std::string(dir != nullptr ? dir : ".") + "/sim/camsim/tk358-camsim";
}

// The program with a pipe on its standard input (closing it stops the program) and one on its
// standard output (where it names its terminal).
class Camsim {
  public:
    explicit Camsim(std::vector<std::string> args) {
        int in[2];
        int out[2];
        if (pipe(in) != 0 || pipe(out) != 0) {
            return;
        }
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_adddup2(&actions, in[0], STDIN_FILENO);
        posix_spawn_file_actions_adddup2(&actions, out[1], STDOUT_FILENO);
        posix_spawn_file_actions_addclose(&actions, in[1]);
        posix_spawn_file_actions_addclose(&actions, out[0]);
        args.insert(args.begin(), CamsimPath());
        std::vector<char*> argv;
        for (auto& a : args) {
            argv.push_back(a.data());
        }
        argv.push_back(nullptr);
        if (posix_spawn(&m_pid, argv[0], &actions, nullptr, argv.data(), environ) != 0) {
            m_pid = -1;
        }
        posix_spawn_file_actions_destroy(&actions);
        close(in[0]);
        close(out[1]);
        m_stdin = in[1];
        m_stdout = out[0];
    }
    ~Camsim() { Stop(); }

    // The line "TK358FW_COM1=<path>", read within a generous time.
    std::string ReadAnnouncement() {
        std::string line;
        char c = 0;
        while (line.empty() || line.back() != '\n') {
            pollfd p{m_stdout, POLLIN, 0};
            if (poll(&p, 1, static_cast<int>(kGenerousMs)) <= 0 || read(m_stdout, &c, 1) != 1) {
                break;
            }
            line += c;
        }
        return line;
    }

    // Ends standard input and waits for the program; returns its exit status.
    int Stop() {
        if (m_stdin >= 0) {
            close(m_stdin);
            m_stdin = -1;
        }
        if (m_stdout >= 0) {
            close(m_stdout);
            m_stdout = -1;
        }
        if (m_pid > 0) {
            int status = 0;
            waitpid(m_pid, &status, 0);
            m_pid = -1;
            m_exit = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
        }
        return m_exit;
    }

  private:
    pid_t m_pid = -1;
    int m_stdin = -1;
    int m_stdout = -1;
    int m_exit = -1;
};

// Reads `n` bytes from the port, waiting at most kGenerousMs in all.
Bytes ReadBytes(IPortDriver& port, size_t n) {
    IClock& clock = SystemClock();
    const uint32_t deadline = clock.NowMs() + kGenerousMs;
    Bytes out;
    while (out.size() < n && !TimeReached(clock.NowMs(), deadline)) {
        QueueCounts counts;
        if (!port.ClearErrors(&counts)) {
            break;
        }
        const size_t take = std::min<size_t>(counts.inQueue, n - out.size());
        if (take == 0) {
            port.WaitForChange(WaitFor::Input, deadline);
            continue;
        }
        Bytes chunk(take);
        if (!port.Read(chunk.data(), static_cast<uint32_t>(take))) {
            break;
        }
        out.insert(out.end(), chunk.begin(), chunk.end());
    }
    return out;
}

std::unique_ptr<IPortDriver> OpenAnnounced(const std::string& announcement) {
    const std::string prefix = "TK358FW_COM1=";
    if (announcement.rfind(prefix, 0) != 0) {
        return nullptr;
    }
    std::string path = announcement.substr(prefix.size());
    while (!path.empty() && (path.back() == '\n' || path.back() == '\r')) {
        path.pop_back();
    }
    PortMap map;
    map.com[0].device = path;
    return CPosixPortSystem(std::move(map)).Open("COM1", nullptr);
}

TEST(CamsimProgram, AnswersAStatusRequestOverAPseudoTerminal) {
    Camsim camsim(
        {"--line-time", "--firmware-version", "2.7", "--id", "PTY-CAMERA", "--log", "/dev/null"});
    auto port = OpenAnnounced(camsim.ReadAnnouncement());
    ASSERT_NE(port, nullptr);

    const Bytes request{0x7F, 0, 0, 0, 0, 0, 0, 0x1A};
    ASSERT_TRUE(port->Write(request.data(), static_cast<uint32_t>(request.size())));
    EXPECT_EQ(ReadBytes(*port, 1), Bytes{0xD1});

    const Bytes packet = ReadBytes(*port, 257);
    ASSERT_EQ(packet.size(), 257u);
    uint8_t x = 0;
    for (size_t i = 0; i < 256; ++i) {
        x = static_cast<uint8_t>(x ^ packet[i]);
    }
    EXPECT_EQ(packet[256], x);
    EXPECT_EQ(packet[0x01], 2);  // state byte
    EXPECT_EQ(packet[0x02], 2);
    EXPECT_EQ(packet[0x03], 7);
    EXPECT_EQ(std::string(packet.begin() + 0x5A, packet.begin() + 0x64), "PTY-CAMERA");
    EXPECT_EQ(packet[0x64], 0);

    const Bytes accepted{0xD2};
    ASSERT_TRUE(port->Write(accepted.data(), 1));
    EXPECT_EQ(ReadBytes(*port, 1), Bytes{0x00});

    port.reset();
    EXPECT_EQ(camsim.Stop(), 0);
}

TEST(CamsimProgram, DownloadModeGreetsAndSavesTheParametersItReceivedOnExit) {
    const std::string params = ::testing::TempDir() + "camsim_params.txt";
    std::remove(params.c_str());
    Camsim camsim({"--mode", "download", "--save-params", params, "--log", "/dev/null"});
    auto port = OpenAnnounced(camsim.ReadAnnouncement());
    ASSERT_NE(port, nullptr);

    const std::string greeting = "VXPLEQFZURBW";
    ASSERT_TRUE(port->Write(reinterpret_cast<const uint8_t*>(greeting.data()), 12));
    const Bytes answer = ReadBytes(*port, 12);
    EXPECT_EQ(std::string(answer.begin(), answer.end()), "WBRUZFQELPXV");
    const uint8_t accept = 0xD1;
    ASSERT_TRUE(port->Write(&accept, 1));

    const Bytes parameter{0x21, 0, 0x00, 0xCA, 0x34, 0x38, 0, 0x1A};
    ASSERT_TRUE(port->Write(parameter.data(), 8));
    EXPECT_EQ(ReadBytes(*port, 2), (Bytes{0xD1, 0x00}));

    port.reset();
    EXPECT_EQ(camsim.Stop(), 0);
    std::ifstream file(params);
    unsigned number = 0;
    unsigned value = 0;
    double seconds = -1;
    file >> number >> value >> seconds;
    EXPECT_EQ(number, 202u);
    EXPECT_EQ(value, 0x3438u);
    EXPECT_GE(seconds, 0.0);
}

// Numbers are decimal, version parts fit the status block, and a save file that cannot be
// written is refused at start, before any terminal is announced.
TEST(CamsimProgram, RefusesSurprisingNumbersAndUnwritableSaveFilesAtStart) {
    const std::pair<std::vector<std::string>, int> refused[] = {
        {{"--pictures0", "0x10"}, 2},
        {{"--refuse", "0x7F"}, 2},
        {{"--clock", " 5"}, 2},
        {{"--firmware-version", "1.100"}, 2},
        {{"--save-image", "/nonexistent-tk358/image.bin"}, 1},
        {{"--save-banks", ::testing::TempDir()}, 1},
    };
    for (const auto& [args, status] : refused) {
        Camsim camsim(args);
        EXPECT_EQ(camsim.ReadAnnouncement(), "") << args[0] << " " << args[1];
        EXPECT_EQ(camsim.Stop(), status) << args[0] << " " << args[1];
    }
}

}  // namespace

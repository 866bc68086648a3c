// The real tk358fw --console against the real tk358-camsim over a pseudo-terminal: one whole
// successful unattended update with a wire trace, checked against what the camera received and
// logged. It runs in real time.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "app/app_test_support.hpp"

extern char** environ;

namespace {

// A child process with a pipe to its standard input and one from its standard output.
class Child {
  public:
    Child(const std::vector<std::string>& args, const std::vector<std::string>& extraEnv) {
        int in[2];
        int out[2];
        if (::pipe2(in, O_CLOEXEC) != 0 || ::pipe2(out, O_CLOEXEC) != 0) {
            return;
        }
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_adddup2(&actions, in[0], STDIN_FILENO);
        posix_spawn_file_actions_adddup2(&actions, out[1], STDOUT_FILENO);
        std::vector<char*> argv;
        for (const std::string& a : args) {
            argv.push_back(const_cast<char*>(a.c_str()));
        }
        argv.push_back(nullptr);
        std::vector<std::string> env(extraEnv);
        for (char** e = environ; *e != nullptr; ++e) {
            env.emplace_back(*e);
        }
        std::vector<char*> envp;
        for (std::string& e : env) {
            envp.push_back(e.data());
        }
        envp.push_back(nullptr);
        if (::posix_spawn(&m_pid, argv[0], &actions, nullptr, argv.data(), envp.data()) != 0) {
            m_pid = -1;
        }
        posix_spawn_file_actions_destroy(&actions);
        ::close(in[0]);
        ::close(out[1]);
        m_in = in[1];
        m_out = out[0];
    }
    ~Child() {
        CloseInput();
        if (m_out >= 0) {
            ::close(m_out);
        }
        if (m_pid > 0) {
            ::kill(m_pid, SIGKILL);
            ::waitpid(m_pid, nullptr, 0);
        }
    }
    Child(const Child&) = delete;
    Child& operator=(const Child&) = delete;

    bool Started() const { return m_pid > 0; }
    void Write(const std::string& text) {
        ASSERT_EQ(::write(m_in, text.data(), text.size()), static_cast<ssize_t>(text.size()));
    }
    void CloseInput() {
        if (m_in >= 0) {
            ::close(m_in);
            m_in = -1;
        }
    }
    // Reads its output until `until` appears (empty: until the end), or the time limit passes.
    bool ReadUntil(const std::string& until, std::chrono::seconds limit) {
        const auto deadline = std::chrono::steady_clock::now() + limit;
        for (;;) {
            if (!until.empty() && m_output.find(until) != std::string::npos) {
                return true;
            }
            const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                deadline - std::chrono::steady_clock::now());
            if (left.count() <= 0) {
                return false;
            }
            pollfd p{m_out, POLLIN, 0};
            if (::poll(&p, 1, static_cast<int>(left.count())) <= 0) {
                continue;
            }
            char buffer[4096];
            const ssize_t got = ::read(m_out, buffer, sizeof buffer);
            if (got <= 0) {
                return until.empty();
            }
            m_output.append(buffer, static_cast<size_t>(got));
        }
    }
    // Waits for the exit (after its output has ended); the exit status, or -1.
    int Wait() {
        int status = 0;
        const pid_t done = ::waitpid(m_pid, &status, 0);
        m_pid = -1;
        return done > 0 && WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }
    const std::string& Output() const { return m_output; }

  private:
    pid_t m_pid = -1;
    int m_in = -1;
    int m_out = -1;
    std::string m_output;
};

TEST(ConsoleEndToEnd, WholeUpdateAgainstTheSimulatorOverAPseudoTerminal) {
    const char* bin = std::getenv("TK358_TEST_BIN");
    if (bin == nullptr) {
        GTEST_SKIP() << "TK358_TEST_BIN (the build directory) is not set";
    }
    const std::string tool = std::string(bin) + "/src/app/main/tk358fw";
    const std::string camsim = std::string(bin) + "/sim/camsim/tk358-camsim";
    if (::access(tool.c_str(), X_OK) != 0 || ::access(camsim.c_str(), X_OK) != 0) {
        GTEST_SKIP() << "tk358fw or tk358-camsim has not been built";
    }

    apptest::TempDir dir;
    const std::vector<uint8_t> file = apptest::FirmwareFile("0120");
    const std::string firmware = dir.Write("sample.fw", file);
    const std::string received = dir.Path() + "/received.bin";

    Child camera({camsim, "--save-image", received, "--log", dir.Path() + "/camsim.log"}, {});
    ASSERT_TRUE(camera.Started());
    ASSERT_TRUE(camera.ReadUntil("\n", std::chrono::seconds(20))) << camera.Output();
    const std::string announced = camera.Output().substr(0, camera.Output().find('\n'));
    ASSERT_EQ(announced.rfind("TK358FW_COM1=", 0), 0u) << announced;

    // Unattended, on the simulator's device given as the port, with a trace. COM2 to COM4 lead
    // nowhere, so that nothing on this machine is touched.
    const std::string device = announced.substr(announced.find('=') + 1);
    const std::string trace = dir.Path() + "/update.trace";
    Child update({tool, "--console", "--port", device, "--file", firmware, "--trace", trace},
                 {"TK358FW_COM2=/nonexistent/com2", "TK358FW_COM3=/nonexistent/com3",
                  "TK358FW_COM4=/nonexistent/com4"});
    ASSERT_TRUE(update.Started());
    update.Write("Quit\n");  // not read: both answers are given
    update.CloseInput();
    ASSERT_TRUE(update.ReadUntil("", std::chrono::seconds(240))) << update.Output();
    EXPECT_EQ(update.Wait(), 0) << update.Output();
    const std::string& shown = update.Output();
    EXPECT_NE(shown.find("Searching for Orvia Lumen Precision TK358 zoom camera ...\n"),
              std::string::npos);
    EXPECT_NE(shown.find("Camera ID: "), std::string::npos) << shown;
    EXPECT_NE(shown.find("Downloading firmware completed. 100%\n"), std::string::npos);
    EXPECT_NE(shown.find("Firmware 1.20 was successfully installed in your Orvia Lumen Precision "
                         "TK358 zoom camera!\nClose the lens cover to complete the update.\n"),
              std::string::npos)
        << shown;

    // The simulator writes what it received when its input ends.
    camera.CloseInput();
    ASSERT_TRUE(camera.ReadUntil("", std::chrono::seconds(20)));
    EXPECT_EQ(camera.Wait(), 0);
    std::ifstream in(received, std::ios::binary);
    const std::vector<uint8_t> image((std::istreambuf_iterator<char>(in)),
                                     std::istreambuf_iterator<char>());
    EXPECT_TRUE(image == apptest::ImagePart(file)) << "received " << image.size() << " bytes";

    // Every command packet of the trace, in order, is one the camera logged as received.
    const auto commands = [](const std::string& path, const std::string& mark) {
        std::vector<std::string> packets;
        std::ifstream log(path);
        for (std::string line; std::getline(log, line);) {
            if (line.find(mark) != std::string::npos) {
                packets.push_back(line.substr(line.rfind('[')));
            }
        }
        return packets;
    };
    const std::vector<std::string> sent = commands(trace, "  tx command ");
    EXPECT_GT(sent.size(), 800u);
    EXPECT_EQ(sent, commands(dir.Path() + "/camsim.log", "  rx command "));
    std::ifstream traced(trace);
    const std::string all((std::istreambuf_iterator<char>(traced)),
                          std::istreambuf_iterator<char>());
    EXPECT_NE(all.find("  open COM1 (" + device + ")\n"), std::string::npos);
    EXPECT_NE(all.find("summary: commands sent " + std::to_string(sent.size()) + ", retries 0"),
              std::string::npos);
}

}  // namespace

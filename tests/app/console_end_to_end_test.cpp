// The real programs over pipes and a pseudo-terminal: their --version, --help and usage errors,
// and one whole successful unattended update of tk358fw --console with a wire trace against
// tk358-camsim, checked against what the camera received and logged. The update runs in real
// time. Its output goes into a pipe that is closed after its first lines, as
// `tk358fw --console ... | head -n 3` does.
//
// The programs are those of the build tree, or the installed ones when TK358_INSTALLED_BIN names
// their folder (CI sets it to /usr/bin after installing the Debian package).
#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <optional>
#include <string>
#include <vector>

#include "app/app_test_support.hpp"
#include "generated/version.hpp"

extern char** environ;

namespace {

// A child process with a pipe to its standard input and one from its standard output; its
// standard error goes to the test's, or into its own pipe when `errors` is given.
class Child {
  public:
    Child(const std::vector<std::string>& args, const std::vector<std::string>& extraEnv,
          std::string* errors = nullptr)
        : m_errors(errors) {
        int in[2];
        int out[2];
        int err[2] = {-1, -1};
        if (::pipe2(in, O_CLOEXEC) != 0 || ::pipe2(out, O_CLOEXEC) != 0 ||
            (errors != nullptr && ::pipe2(err, O_CLOEXEC) != 0)) {
            return;
        }
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_adddup2(&actions, in[0], STDIN_FILENO);
        posix_spawn_file_actions_adddup2(&actions, out[1], STDOUT_FILENO);
        if (errors != nullptr) {
            posix_spawn_file_actions_adddup2(&actions, err[1], STDERR_FILENO);
        }
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
        if (errors != nullptr) {
            ::close(err[1]);
            m_err = err[0];
        }
    }
    ~Child() {
        CloseInput();
        for (const int fd : {m_out, m_err}) {
            if (fd >= 0) {
                ::close(fd);
            }
        }
        if (m_pid > 0) {
            ::kill(m_pid, SIGKILL);
            ::waitpid(m_pid, nullptr, 0);
        }
    }
    Child(const Child&) = delete;
    Child& operator=(const Child&) = delete;

    bool Started() const { return m_pid > 0; }
    pid_t Pid() const { return m_pid; }
    void Write(const std::string& text) {
        ASSERT_EQ(::write(m_in, text.data(), text.size()), static_cast<ssize_t>(text.size()));
    }
    void CloseInput() {
        if (m_in >= 0) {
            ::close(m_in);
            m_in = -1;
        }
    }
    // Stops reading its output, as a reader that has seen enough does.
    void CloseOutput() {
        ::close(m_out);
        m_out = -1;
    }
    // True when it has ended within the time limit (then Wait() returns at once).
    bool Ended(std::chrono::seconds limit) {
        const int pidfd = static_cast<int>(::syscall(SYS_pidfd_open, m_pid, 0));
        pollfd p{pidfd, POLLIN, 0};
        const bool ended = pidfd >= 0 && ::poll(&p, 1, static_cast<int>(limit.count() * 1000)) == 1;
        ::close(pidfd);
        return ended;
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
    // Waits for the exit (after its output has ended); the exit status, or -1. The standard
    // error it wrote, when asked for, is then in `errors`.
    int Wait() {
        if (m_err >= 0) {
            char buffer[4096];
            ssize_t got = 0;
            while ((got = ::read(m_err, buffer, sizeof buffer)) > 0) {
                m_errors->append(buffer, static_cast<size_t>(got));
            }
        }
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
    int m_err = -1;
    std::string* m_errors = nullptr;
    std::string m_output;
};

struct Programs {
    std::string tool;
    std::string camsim;
};

// The programs under test, or nothing when the build tree has not been built.
std::optional<Programs> ProgramsUnderTest() {
    Programs programs;
    if (const char* installed = std::getenv("TK358_INSTALLED_BIN")) {
        programs = {std::string(installed) + "/tk358fw", std::string(installed) + "/tk358-camsim"};
    } else if (const char* bin = std::getenv("TK358_TEST_BIN")) {
        programs = {std::string(bin) + "/src/app/main/tk358fw",
                    std::string(bin) + "/sim/camsim/tk358-camsim"};
    } else {
        return std::nullopt;
    }
    if (::access(programs.tool.c_str(), X_OK) != 0 ||
        ::access(programs.camsim.c_str(), X_OK) != 0) {
        return std::nullopt;
    }
    return programs;
}

// Runs a program to its end; its exit status, standard output and standard error.
struct Finished {
    int status = -1;
    std::string out;
    std::string err;
};
Finished RunToEnd(const std::vector<std::string>& args) {
    Finished finished;
    Child child(args, {}, &finished.err);
    if (child.Started()) {
        child.CloseInput();
        child.ReadUntil("", std::chrono::seconds(20));
        finished.status = child.Wait();
        finished.out = child.Output();
    }
    return finished;
}

TEST(ProgramsEndToEnd, VersionHelpAndUnknownOptions) {
    const std::optional<Programs> programs = ProgramsUnderTest();
    if (!programs) {
        GTEST_SKIP() << "tk358fw or tk358-camsim has not been built";
    }
    for (const auto& [path, name] : {std::pair{programs->tool, std::string("tk358fw")},
                                     std::pair{programs->camsim, std::string("tk358-camsim")}}) {
        const Finished version = RunToEnd({path, "--version"});
        EXPECT_EQ(version.status, 0) << name;
        EXPECT_EQ(version.out, name + " " + build_info::kVersionText + "\n");

        const Finished help = RunToEnd({path, "--help"});
        EXPECT_EQ(help.status, 0) << name;
        EXPECT_NE(help.out.find("--version"), std::string::npos) << help.out;

        const Finished unknown = RunToEnd({path, "--no-such-option"});
        EXPECT_NE(unknown.status, 0) << name;
        EXPECT_EQ(unknown.out, "") << name;
        EXPECT_NE(unknown.err.find("--no-such-option"), std::string::npos) << unknown.err;
    }
    // tk358fw follows the reason with its usage. Its statuses: usage errors 64; a firmware file
    // given ahead that will not do 65, before the port (which names no device) is tried.
    const std::pair<std::vector<std::string>, int> statuses[] = {
        {{"--bogus"}, 64},
        {{"--console", "--port", "COM5"}, 64},
        {{"--port", "COM1"}, 64},  // only with --console
        {{"--console", "--port", "/nonexistent/tty", "--file", "/nonexistent/a.fw"}, 65},
    };
    for (auto [args, status] : statuses) {
        args.insert(args.begin(), programs->tool);
        const Finished run = RunToEnd(args);
        EXPECT_EQ(run.status, status) << args.back();
        EXPECT_EQ(run.err.find("Usage: tk358fw") != std::string::npos, status == 64) << run.err;
        EXPECT_EQ(run.out.find("no such device"), std::string::npos) << run.out;
    }
}

// A trace file that would destroy the firmware file or wait for a reader is refused before
// anything is opened; a stop signal at a question still leaves the trace with its summary.
TEST(ProgramsEndToEnd, TraceFileRefusalsAndTheEndWrittenAtAStopSignal) {
    const std::optional<Programs> programs = ProgramsUnderTest();
    if (!programs) {
        GTEST_SKIP() << "tk358fw or tk358-camsim has not been built";
    }
    apptest::TempDir dir;
    const std::string firmware = dir.Write("f.fw", apptest::FirmwareFile("0120", 300));
    const std::string link = dir.Path() + "/link.trace";
    const std::string fifo = dir.Path() + "/trace.fifo";
    ASSERT_EQ(::link(firmware.c_str(), link.c_str()), 0);
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    for (const auto& [trace, reason] : {std::pair{firmware, std::string("is the firmware file")},
                                        std::pair{link, std::string("is the firmware file")},
                                        std::pair{fifo, std::string("no program reads")}}) {
        const Finished run = RunToEnd({programs->tool, "--console", "--port", "/dev/null", "--file",
                                       firmware, "--trace", trace});
        EXPECT_EQ(run.status, 64) << trace;  // the --trace value will not do
        EXPECT_NE(run.err.find(reason), std::string::npos) << run.err;
        EXPECT_EQ(run.out, "") << trace;
    }
    std::ifstream kept(firmware, std::ios::binary);
    const std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(kept)),
                                     std::istreambuf_iterator<char>());
    EXPECT_TRUE(bytes == apptest::FirmwareFile("0120", 300));

    const std::string trace = dir.Path() + "/stopped.trace";
    Child asked({programs->tool, "--console", "--trace", trace}, {});
    ASSERT_TRUE(asked.Started());
    ASSERT_TRUE(asked.ReadUntil("Port (Enter: AUTO) or Quit: ", std::chrono::seconds(20)));
    ::kill(asked.Pid(), SIGTERM);
    ASSERT_TRUE(asked.Ended(std::chrono::seconds(20)));
    std::ifstream traced(trace);
    std::string last;
    for (std::string line; std::getline(traced, line);) {
        last = line;
    }
    EXPECT_NE(last.find("  summary: commands sent 0,"), std::string::npos) << last;
}

TEST(ConsoleEndToEnd, WholeUpdateAgainstTheSimulatorOverAPseudoTerminal) {
    const std::optional<Programs> programs = ProgramsUnderTest();
    if (!programs) {
        GTEST_SKIP() << "tk358fw or tk358-camsim has not been built";
    }
    const std::string& tool = programs->tool;
    const std::string& camsim = programs->camsim;

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
    ASSERT_TRUE(update.ReadUntil("Port (Enter: AUTO) or Quit: ", std::chrono::seconds(20)))
        << update.Output();
    const std::string& shown = update.Output();
    EXPECT_EQ(shown.find("Select the communication port. \n"), 0u) << shown;
    // The mapping beside the port question, as the option and the environment set it.
    EXPECT_NE(shown.find("COM1  " + device), std::string::npos) << shown;
    EXPECT_NE(shown.find("(from --port)\n"), std::string::npos) << shown;
    EXPECT_NE(shown.find("COM2  /nonexistent/com2  no such device  (from TK358FW_COM2)\n"),
              std::string::npos)
        << shown;
    // Every later write finds the pipe closed: the update goes on, and the exit status tells.
    update.CloseOutput();
    ASSERT_TRUE(update.Ended(std::chrono::seconds(240)));
    EXPECT_EQ(update.Wait(), 0);

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

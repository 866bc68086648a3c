// Benchmark of a whole update (connection to a camera in normal mode, then the 196,608-byte
// transfer):
//
// 1. In virtual time: the wall time a whole simulated update costs.
// 2. Over a pseudo-terminal against tk358-camsim with line-time emulation, in real time: the wall
//    time against the protocol floor, and the CPU time of this (the updating) process against its
//    wall time.
// 3. The same update once more with the wire trace (tk358fw --trace) written to a file: its wall
//    and CPU time against the update without it.
//
// The floor is what the protocol itself makes an update last: the quiet time before every command
// packet, the fixed pauses of the connection, the time-out of the greeting a camera in normal mode
// does not answer, the line time of every byte at the speed in force, and the camera's own
// answering time. It is obtained by replaying the same update, with the same camera and the same
// camera timing, on the virtual line: virtual time has no host overhead at all, so the virtual
// duration is exactly that sum. The camera's log of the real run is checked to show the same
// exchanges (commands, data packets, speed changes) as the replay.
#include <fcntl.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <string>
#include <vector>

#include "camera/camera.hpp"
#include "download/download.hpp"
#include "sim/camera_sim.hpp"
#include "sim/sim.hpp"

namespace {

using Steady = std::chrono::steady_clock;

double Seconds(Steady::duration d) {
    return std::chrono::duration<double>(d).count();
}

std::vector<uint8_t> SampleImage() {
    std::vector<uint8_t> image(kFirmwareImageBytes);
    uint32_t x = 2463534242u;
    for (auto& b : image) {
        x ^= x << 13;
        x ^= x >> 17;
        x ^= x << 5;
        b = static_cast<uint8_t>(x);
    }
    return image;
}

// What kinds of event a camera log holds, counted.
using EventCounts = std::map<std::string, int>;

std::string EventKind(const std::string& text) {
    static const char* const kKinds[] = {
        "rx command",    "tx ack",     "tx data packet", "rx data frame",
        "tx completion", "line speed", "rx greeting",    "tx greeting answer"};
    for (const char* kind : kKinds) {
        if (text.rfind(kind, 0) == 0) {
            return kind;
        }
    }
    return {};
}

void CountEvent(EventCounts* counts, const std::string& text) {
    const std::string kind = EventKind(text);
    if (!kind.empty()) {
        ++(*counts)[kind];
    }
}

// Connects to the camera on COM1 and writes the image; returns what failed, or nothing.
std::string UpdateOnCom1(IPortSystem& ports, const std::vector<uint8_t>& image) {
    CCameraLink link(ports);
    CameraInfo info;
    CameraIdText id = {};
    CameraClockId clockId;
    clockId.text = &id;
    int32_t flag = 0;
    std::string error;
    link.Connect(1, kTransferSpeedCode, &info, &clockId, &flag);
    if (link.GetResult() != 0) {
        error = "connect failed";
    } else {
        link.DownloadFirmware(image, nullptr);
        if (link.GetResult() != 0) {
            error = "transfer failed";
        }
    }
    link.ClosePort();
    return error;
}

struct VirtualRun {
    double wallSeconds = 0;
    double virtualSeconds = 0;
    bool ok = false;
    EventCounts events;
};

// One whole update in virtual time.
VirtualRun RunVirtual(const std::vector<uint8_t>& image) {
    VirtualRun run;
    sim::VirtualClock clock;
    ScopedClock scoped(clock);
    sim::VirtualLine line(clock);
    sim::VirtualCamera camera(line.CameraEnd());
    line.AttachCamera(&camera);
    camera.SetLogger([&run](uint64_t, const std::string& text) { CountEvent(&run.events, text); });
    sim::VirtualPortSystem ports;
    ports.Connect(1, &line);

    const auto start = Steady::now();
    const uint64_t startUs = clock.NowUs();
    run.ok = UpdateOnCom1(ports, image).empty() && camera.Image() == image;
    run.virtualSeconds = static_cast<double>(clock.NowUs() - startUs) / 1e6;
    run.wallSeconds = Seconds(Steady::now() - start);
    return run;
}

struct PtyRun {
    double wallSeconds = 0;
    double cpuSeconds = 0;
    bool ok = false;
    EventCounts events;
    std::string error;
    int tracedCommands = 0;  // "tx command" lines of the trace, when traced
    uintmax_t traceBytes = 0;
};

int CountLines(const std::string& path, const std::string& part) {
    std::ifstream in(path);
    int n = 0;
    for (std::string line; std::getline(in, line);) {
        n += line.find(part) != std::string::npos ? 1 : 0;
    }
    return n;
}

double CpuSeconds() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
           static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

std::string SimulatorPath() {
    char self[4096] = {};
    const ssize_t n = readlink("/proc/self/exe", self, sizeof self - 1);
    std::string dir = n > 0 ? std::string(self, static_cast<size_t>(n)) : std::string();
    dir = dir.substr(0, dir.rfind('/'));  // .../bench
    return dir + "/../sim/camsim/tk358-camsim";
}

// One whole update against tk358-camsim on a pseudo-terminal, in real time; with `traced`, the
// wire trace is written to a file as tk358fw --trace does.
PtyRun RunOverPty(const std::vector<uint8_t>& image, bool traced) {
    PtyRun run;
    char logPath[] = "/tmp/tk358-bench-log-XXXXXX";
    char imagePath[] = "/tmp/tk358-bench-image-XXXXXX";
    char tracePath[] = "/tmp/tk358-bench-trace-XXXXXX";
    const int logFd = mkstemp(logPath);
    const int imageFd = mkstemp(imagePath);
    const int traceFd = mkstemp(tracePath);
    if (logFd < 0 || imageFd < 0 || traceFd < 0) {
        run.error = "cannot create temporary files";
        return run;
    }
    close(logFd);
    close(imageFd);
    close(traceFd);

    int toChild[2];
    int fromChild[2];
    if (pipe(toChild) != 0 || pipe(fromChild) != 0) {
        run.error = "pipe failed";
        return run;
    }
    const std::string simulator = SimulatorPath();
    const pid_t child = fork();
    if (child == 0) {
        dup2(toChild[0], 0);
        dup2(fromChild[1], 1);
        close(toChild[1]);
        close(fromChild[0]);
        execl(simulator.c_str(), simulator.c_str(), "--line-time", "--log", logPath, "--save-image",
              imagePath, static_cast<char*>(nullptr));
        _exit(127);
    }
    close(toChild[0]);
    close(fromChild[1]);

    // The simulator's first line names the terminal.
    std::string first;
    char c = 0;
    while (read(fromChild[0], &c, 1) == 1 && c != '\n') {
        first += c;
    }
    const std::string prefix = "TK358FW_COM1=";
    if (first.rfind(prefix, 0) != 0) {
        run.error = "tk358-camsim did not start (" + simulator + ")";
        close(toChild[1]);
        waitpid(child, nullptr, 0);
        return run;
    }
    PortMap map;
    map.com[0].device = first.substr(prefix.size());
    CPosixPortSystem ports(std::move(map));

    const double cpuStart = CpuSeconds();
    const auto start = Steady::now();
    if (traced) {
        std::ofstream file(tracePath, std::ios::binary);
        CWireTrace trace(file);
        CTracingPortSystem tracingPorts(ports, trace);
        run.error = UpdateOnCom1(tracingPorts, image);
        trace.Finish();
    } else {
        run.error = UpdateOnCom1(ports, image);
    }
    run.ok = run.error.empty();
    run.wallSeconds = Seconds(Steady::now() - start);
    run.cpuSeconds = CpuSeconds() - cpuStart;
    if (traced) {
        run.tracedCommands = CountLines(tracePath, "  tx command ");
        std::error_code error;
        run.traceBytes = std::filesystem::file_size(tracePath, error);
    }

    close(toChild[1]);  // end of input: the simulator saves what it received and exits
    waitpid(child, nullptr, 0);
    close(fromChild[0]);

    std::ifstream log(logPath);
    std::string line;
    while (std::getline(log, line)) {
        const size_t text =
            line.find_first_not_of(' ', line.find(' ', line.find_first_not_of(' ')));
        if (text != std::string::npos) {
            CountEvent(&run.events, line.substr(text));
        }
    }
    std::ifstream received(imagePath, std::ios::binary);
    std::vector<uint8_t> got((std::istreambuf_iterator<char>(received)), {});
    if (run.ok && got != image) {
        run.ok = false;
        run.error = "the camera received a different image";
    }
    if (!run.ok) {
        // Kept for a look at what went wrong.
        run.error += std::string(" (camera log ") + logPath + (traced ? ", trace " : "") +
                     (traced ? tracePath : "") + ")";
    } else {
        std::remove(logPath);
    }
    if (run.ok || !traced) {
        std::remove(tracePath);
    }
    std::remove(imagePath);
    return run;
}

void PrintEvents(const EventCounts& counts) {
    for (const auto& [kind, n] : counts) {
        std::printf("    %-20s %6d\n", kind.c_str(), n);
    }
}

}  // namespace

int main(int argc, char** argv) {
    const bool virtualOnly = argc > 1 && std::strcmp(argv[1], "--virtual-only") == 0;
    const auto image = SampleImage();

    std::vector<double> walls;
    VirtualRun replay;
    for (int i = 0; i < 5; ++i) {
        replay = RunVirtual(image);
        if (!replay.ok) {
            std::printf("virtual update FAILED\n");
            return 1;
        }
        walls.push_back(replay.wallSeconds);
    }
    std::sort(walls.begin(), walls.end());
    std::printf("Whole update in virtual time (5 runs)\n");
    std::printf("  wall time: median %.3f s, best %.3f s (target < 0.5 s)\n", walls[2], walls[0]);
    std::printf("  virtual duration (the protocol floor): %.3f s\n", replay.virtualSeconds);
    if (virtualOnly) {
        return 0;
    }

    std::printf("\nWhole update over a pseudo-terminal against tk358-camsim --line-time\n");
    std::fflush(stdout);
    const PtyRun real = RunOverPty(image, false);
    if (!real.ok) {
        std::printf("  FAILED: %s\n", real.error.c_str());
        return 1;
    }
    const double ratio = real.wallSeconds / replay.virtualSeconds;
    const double cpuShare = 100.0 * real.cpuSeconds / real.wallSeconds;
    std::printf("  wall time: %.3f s\n", real.wallSeconds);
    std::printf("  protocol floor: %.3f s\n", replay.virtualSeconds);
    std::printf("  wall / floor: %.4f (target <= 1.02)\n", ratio);
    std::printf("  CPU time (user + system): %.3f s = %.2f %% of wall time (target <= 2 %%)\n",
                real.cpuSeconds, cpuShare);
    const bool sameExchanges = real.events == replay.events;
    std::printf("  camera log of the real run %s the replay's exchanges:\n",
                sameExchanges ? "matches" : "DIFFERS FROM");
    PrintEvents(real.events);
    if (!sameExchanges) {
        std::printf("  replay:\n");
        PrintEvents(replay.events);
    }

    std::printf("\nThe same update with the wire trace written to a file\n");
    std::fflush(stdout);
    const PtyRun traced = RunOverPty(image, true);
    if (!traced.ok) {
        std::printf("  FAILED: %s\n", traced.error.c_str());
        return 1;
    }
    const double traceRatio = traced.wallSeconds / real.wallSeconds;
    const int cameraCommands =
        traced.events.count("rx command") != 0 ? traced.events.at("rx command") : 0;
    std::printf("  wall time: %.3f s = %.4f x without the trace (target <= 1.01)\n",
                traced.wallSeconds, traceRatio);
    std::printf("  CPU time (user + system): %.3f s (%.3f s without)\n", traced.cpuSeconds,
                real.cpuSeconds);
    std::printf("  trace: %ju bytes, %d command packets (the camera received %d)\n",
                traced.traceBytes, traced.tracedCommands, cameraCommands);

    const bool met = ratio <= 1.02 && cpuShare <= 2.0 && walls[2] < 0.5 && traceRatio <= 1.01 &&
                     traced.tracedCommands == cameraCommands;
    std::printf("\n%s\n", met ? "all targets met" : "some targets missed");
    return 0;
}

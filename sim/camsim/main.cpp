// tk358-camsim: opens a pseudo-terminal, prints its path and runs the virtual camera on it.
#include <fcntl.h>
#include <stdlib.h>
#include <termios.h>
#include <unistd.h>

#include <cstdio>
#include <iostream>
#include <string>
#include <vector>

#include "generated/version.hpp"
#include "sim/camsim/camsim.hpp"

namespace {

struct Pty {
    int master = -1;
    int slave = -1;  // held open so that the master never sees the other side vanish
    std::string path;
};

bool OpenPty(Pty* pty) {
    pty->master = posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC | O_NONBLOCK);
    if (pty->master < 0 || grantpt(pty->master) != 0 || unlockpt(pty->master) != 0) {
        return false;
    }
    const char* name = ptsname(pty->master);
    if (name == nullptr) {
        return false;
    }
    pty->path = name;
    pty->slave = open(name, O_RDWR | O_NOCTTY | O_CLOEXEC | O_NONBLOCK);
    if (pty->slave < 0) {
        return false;
    }
    // Raw on both sides until the tool sets its own line settings: no echo, no translation.
    for (const int fd : {pty->master, pty->slave}) {
        termios settings{};
        if (tcgetattr(fd, &settings) == 0) {
            cfmakeraw(&settings);
            tcsetattr(fd, TCSANOW, &settings);
        }
    }
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    // Before anything is opened: a closed standard output must not pass its number on to the
    // pseudo-terminal, which would then carry the printed device path to the tool as input.
    FillClosedStandardDescriptors();
    std::string error;
    const auto options =
        camsim::ParseOptions(std::vector<std::string>(argv + 1, argv + argc), &error);
    if (!options) {
        std::cerr << "tk358-camsim: " << error << "\nTry tk358-camsim --help.\n";
        return 2;
    }
    if (options->help) {
        std::cout << camsim::HelpText();
        return 0;
    }
    if (options->version) {
        std::cout << "tk358-camsim " << build_info::kVersionText << '\n';
        return 0;
    }

    camsim::SaveFiles saveFiles;
    if (!saveFiles.Open(*options)) {
        return 1;
    }

    std::FILE* log = stderr;
    if (!options->logFile.empty()) {
        log = std::fopen(options->logFile.c_str(), "w");
        if (log == nullptr) {
            std::cerr << "tk358-camsim: cannot open " << options->logFile << "\n";
            return 1;
        }
    }

    Pty pty;
    if (!OpenPty(&pty)) {
        std::cerr << "tk358-camsim: cannot open a pseudo-terminal\n";
        return 1;
    }

    const std::string startedAt = WallClockText();  // the moment the line's clock starts from
    camsim::PtyLine line(pty.master, options->lineTime);
    sim::VirtualCamera camera(line);
    camera.State() = options->state;
    if (options->clockNow) {
        camera.State().clock = camsim::CameraClockNow();
    }
    camera.Faults() = options->faults;
    camera.Timing() = options->timing;
    // Laid out as tk358fw's wire trace: milliseconds since the start, then the event.
    camera.SetLogger([log](uint64_t atUs, const std::string& text) {
        std::fprintf(log, "%12.3f  %s\n", static_cast<double>(atUs) / 1e3, text.c_str());
        std::fflush(log);
    });
    line.SetReceiver(&camera);

    std::fprintf(log, "# tk358-camsim log, started %s; times in milliseconds since then\n",
                 startedAt.c_str());
    std::fprintf(log, "%12.3f  camera in %s mode on %s\n", static_cast<double>(line.NowUs()) / 1e3,
                 options->state.mode == sim::CameraMode::Normal ? "normal" : "download",
                 pty.path.c_str());
    std::fflush(log);
    std::cout << "TK358FW_COM1=" << pty.path << std::endl;

    camsim::RunEventLoop(line, pty.master, !options->ignoreStdin);

    std::fprintf(log, "%12.3f  stopped\n", static_cast<double>(line.NowUs()) / 1e3);
    const bool saved = saveFiles.Write(camera);
    if (log != stderr) {
        std::fclose(log);
    }
    close(pty.slave);
    close(pty.master);
    return saved ? 0 : 1;
}

// The real-time loop: poll on the pty master, standard input and a signal pipe, with the time to
// the camera's next timer, received byte or paced output byte as the time-out.
#include <errno.h>
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <unistd.h>

#include <cstdint>

#include "sim/camsim/camsim.hpp"

namespace camsim {

namespace {

int g_signalPipe[2] = {-1, -1};

void OnSignal(int) {
    const char byte = 1;
    const ssize_t ignored = write(g_signalPipe[1], &byte, 1);
    (void)ignored;
}

bool InstallSignalPipe() {
    if (pipe2(g_signalPipe, O_CLOEXEC | O_NONBLOCK) != 0) {
        return false;
    }
    struct sigaction action {};
    action.sa_handler = OnSignal;
    sigemptyset(&action.sa_mask);
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGTERM, &action, nullptr);
    return true;
}

// Standard input has ended (or failed): the program stops.
bool StdinEnded() {
    char buffer[256];
    const ssize_t n = read(STDIN_FILENO, buffer, sizeof buffer);
    return n == 0 || (n < 0 && errno != EINTR && errno != EAGAIN);
}

}  // namespace

void RunEventLoop(PtyLine& line, int masterFd, bool watchStdin) {
    if (!InstallSignalPipe()) {
        return;
    }
    for (;;) {
        line.RunDue();

        pollfd fds[3] = {};
        fds[0].fd = masterFd;
        fds[0].events = static_cast<short>(POLLIN | (line.WantsWritable() ? POLLOUT : 0));
        fds[1].fd = g_signalPipe[0];
        fds[1].events = POLLIN;
        fds[2].fd = watchStdin ? STDIN_FILENO : -1;
        fds[2].events = POLLIN;

        const uint64_t next = line.NextWakeUs();
        timespec timeout{};
        timespec* timeoutPtr = nullptr;
        if (next != UINT64_MAX) {
            const uint64_t now = line.NowUs();
            const uint64_t waitUs = next > now ? next - now : 0;
            timeout.tv_sec = static_cast<time_t>(waitUs / 1'000'000);
            timeout.tv_nsec = static_cast<long>((waitUs % 1'000'000) * 1000);
            timeoutPtr = &timeout;
        }
        const int ready = ppoll(fds, 3, timeoutPtr, nullptr);
        if (ready < 0) {
            if (errno == EINTR) {
                continue;
            }
            return;
        }
        if ((fds[1].revents & POLLIN) != 0) {
            return;
        }
        if ((fds[2].revents & POLLNVAL) != 0) {
            watchStdin = false;  // no standard input at all: run until a signal
        } else if ((fds[2].revents & (POLLIN | POLLHUP | POLLERR)) != 0 && StdinEnded()) {
            return;
        }
        if ((fds[0].revents & POLLIN) != 0 && !line.ReadMaster()) {
            return;
        }
    }
}

}  // namespace camsim

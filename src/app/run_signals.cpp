// The run's answer to the signals that would end it, on POSIX systems.
//
// The handler only touches lock-free atomics and calls async-signal-safe functions (write,
// sigaction, pthread_sigmask, raise, _exit and the ports' release, which is ioctl and close);
// the wire trace's end is a buffer prepared beforehand (last_words), written with write.
// Outside an exchange section it ends the process at once, by the same signal, after every open
// port has been put back as found: nothing the camera is doing is cut short there, and the
// front end may be waiting in a read or a nested event loop that no flag could reach. Inside a
// section it only counts, so that no command exchange is ever interrupted; the section's owner
// (the workflow, the progress callback) acts on the count between exchanges.
#include <signal.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <string_view>

#include "app/app.hpp"
#include "app/stop_requests.hpp"

namespace {

// A process ended by a signal shows as this plus the signal's number (130 SIGINT, 143 SIGTERM).
constexpr int kSignalStatusBase = 128;
constexpr std::array<int, 4> kHandled = {SIGPIPE, SIGHUP, SIGINT, SIGTERM};
// The dispositions found when CRunSignals was made, put back when it goes.
struct sigaction s_found[kHandled.size()];

void OnStopSignal(int signalNumber) {
    const int savedErrno = errno;
    if (!stop_requests::HoldInSection(signalNumber)) {
        stop_requests::EndRun(signalNumber);
    }
    errno = savedErrno;
}

}  // namespace

namespace stop_requests {

void Notify(std::string_view text) {
    // Nothing to do when standard error is gone.
    [[maybe_unused]] const ssize_t ignored = ::write(STDERR_FILENO, text.data(), text.size());
}

[[noreturn]] void EndRun(int signalNumber) {
    ReleaseOpenPorts();
    // The wire trace's end, prepared by its owner: the port's closing and the summary.
    int fd = -1;
    const char* words = nullptr;
    size_t length = 0;
    if (last_words::Take(&fd, &words, &length)) {
        [[maybe_unused]] const ssize_t ignored = ::write(fd, words, length);
    }
    struct sigaction byDefault {};
    byDefault.sa_handler = SIG_DFL;
    sigemptyset(&byDefault.sa_mask);
    ::sigaction(signalNumber, &byDefault, nullptr);
    sigset_t only;
    sigemptyset(&only);
    sigaddset(&only, signalNumber);
    ::pthread_sigmask(SIG_UNBLOCK, &only, nullptr);
    ::raise(signalNumber);
    // Not reached: the signal's default action has ended the process.
    // cppcheck-suppress unreachableCode
    ::_exit(StopStatus(signalNumber));
}

int StopStatus(int signalNumber) {
    return kSignalStatusBase + signalNumber;
}

}  // namespace stop_requests

CRunSignals::CRunSignals() {
    for (size_t i = 0; i < kHandled.size(); ++i) {
        const int signalNumber = kHandled[i];
        ::sigaction(signalNumber, nullptr, &s_found[i]);
        struct sigaction action {};
        sigemptyset(&action.sa_mask);
        if (signalNumber == SIGPIPE || signalNumber == SIGHUP) {
            action.sa_handler = SIG_IGN;
        } else if (s_found[i].sa_handler == SIG_IGN) {
            continue;  // started to ignore it (a background job): it stays ignored
        } else {
            action.sa_handler = OnStopSignal;
            action.sa_flags = SA_RESTART;
            sigaddset(&action.sa_mask, SIGINT);
            sigaddset(&action.sa_mask, SIGTERM);
        }
        ::sigaction(signalNumber, &action, nullptr);
    }
}

CRunSignals::~CRunSignals() {
    for (size_t i = 0; i < kHandled.size(); ++i) {
        ::sigaction(kHandled[i], &s_found[i], nullptr);
    }
}

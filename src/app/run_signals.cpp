// The run's answer to the signals that would end it, on POSIX systems.
//
// The handler only touches lock-free atomics and calls async-signal-safe functions (write,
// sigaction, pthread_sigmask, pthread_kill, raise, _exit and the ports' release, which is ioctl
// and close); the wire trace's end is a buffer prepared beforehand (last_words), written with
// write. Outside an exchange section it ends the process at once, by the same signal, after
// every open port has been put back as found: nothing the camera is doing is cut short there,
// and the front end may be waiting in a read or a nested event loop that no flag could reach.
// Inside a section it only counts, so that no command exchange is ever interrupted; the
// section's owner (the workflow, the progress callback) acts on the count between exchanges.
// While the transfer's result is shown the update is over, and a stop request ends the process
// with the result's exit status instead. SIGQUIT keeps its meaning (end at once, with a core
// dump where the system makes one) but puts the ports back first.
//
// Every handler runs on the main thread, the one that opens and closes the ports: a signal that
// the system delivers to another thread (the desktop toolkit has threads of its own) is passed
// on to the main thread. The port registry holds signals off on its own thread while it puts a
// port back, so a release is never cut short by a handler that ends the process.
#include <pthread.h>
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
constexpr std::array<int, 5> kHandled = {SIGPIPE, SIGHUP, SIGINT, SIGTERM, SIGQUIT};
// The signals whose handlers end the process; each is held off while one of them runs.
constexpr std::array<int, 3> kEnding = {SIGINT, SIGTERM, SIGQUIT};
// The dispositions found when CRunSignals was made, put back when it goes.
struct sigaction s_found[kHandled.size()];
// The thread that made CRunSignals (the main thread).
pthread_t s_mainThread;

// True on the main thread; elsewhere the signal is passed on to it.
bool OnMainThreadOrPassedOn(int signalNumber) {
    if (::pthread_equal(::pthread_self(), s_mainThread) != 0) {
        return true;
    }
    ::pthread_kill(s_mainThread, signalNumber);
    return false;
}

// Puts every open port back and writes the wire trace's end, prepared by its owner (the port's
// closing and the summary).
void ReleaseAndWriteLastWords() {
    ReleaseOpenPorts();
    int fd = -1;
    const char* words = nullptr;
    size_t length = 0;
    if (last_words::Take(&fd, &words, &length)) {
        [[maybe_unused]] const ssize_t ignored = ::write(fd, words, length);
    }
}

// Puts every open port back, then ends the process by `signalNumber`'s default action.
[[noreturn]] void EndBySignal(int signalNumber) {
    ReleaseAndWriteLastWords();
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
    ::_exit(stop_requests::StopStatus(signalNumber));
}

void OnStopSignal(int signalNumber) {
    const int savedErrno = errno;
    if (OnMainThreadOrPassedOn(signalNumber) && !stop_requests::HoldInSection(signalNumber)) {
        stop_requests::EndRun(signalNumber);
    }
    errno = savedErrno;
}

void OnQuitSignal(int signalNumber) {
    if (OnMainThreadOrPassedOn(signalNumber)) {
        EndBySignal(signalNumber);
    }
}

}  // namespace

namespace stop_requests {

void Notify(std::string_view text) {
    // Nothing to do when standard error is gone.
    [[maybe_unused]] const ssize_t ignored = ::write(STDERR_FILENO, text.data(), text.size());
}

std::string_view AgainText(int signalNumber) {
    return signalNumber == SIGTERM ? "send SIGTERM again" : "press Ctrl-C again";
}

[[noreturn]] void EndRun(int signalNumber) {
    const int resultStatus = ResultExitStatus();
    if (resultStatus < 0) {
        EndBySignal(signalNumber);
    }
    ReleaseAndWriteLastWords();
    ::_exit(resultStatus);
}

int StopStatus(int signalNumber) {
    return kSignalStatusBase + signalNumber;
}

}  // namespace stop_requests

CRunSignals::CRunSignals() {
    s_mainThread = ::pthread_self();
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
            action.sa_handler = signalNumber == SIGQUIT ? OnQuitSignal : OnStopSignal;
            action.sa_flags = SA_RESTART;
            for (const int ending : kEnding) {
                sigaddset(&action.sa_mask, ending);
            }
        }
        ::sigaction(signalNumber, &action, nullptr);
    }
}

CRunSignals::~CRunSignals() {
    for (size_t i = 0; i < kHandled.size(); ++i) {
        ::sigaction(kHandled[i], &s_found[i], nullptr);
    }
}

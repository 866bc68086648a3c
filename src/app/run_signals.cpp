// The run's answer to the signals that would end it.
//
// The handler only touches lock-free atomics and calls async-signal-safe functions (write,
// sigaction, pthread_sigmask, raise, _exit and the ports' release, which is ioctl and close).
// Outside an exchange section it ends the process at once, by the same signal, after every open
// port has been put back as found: nothing the camera is doing is cut short there, and the
// front end may be waiting in a read or a nested event loop that no flag could reach. Inside a
// section it only counts, so that no command exchange is ever interrupted; the section's owner
// (the workflow, the progress callback) acts on the count between exchanges.
#include <signal.h>
#include <unistd.h>

#include <array>
#include <atomic>
#include <cerrno>

#include "app/app.hpp"

namespace {

constexpr char kConnectNotice[] =
    "\nthe connection to the camera is being finished; the tool ends after it\n";
constexpr char kTransferNotice[] =
    "\nthe update is being finished; interrupting now leaves the camera without firmware - press "
    "Ctrl-C again to stop after the current block\n";
constexpr char kStoppingNotice[] = "\nthe update stops after the current block\n";

// Which section runs: 0 none, else an ExchangeSection + 1.
constinit std::atomic<int> s_section{0};
// SIGINT and SIGTERM received in the current section, and the first of them.
constinit std::atomic<int> s_received{0};
constinit std::atomic<int> s_firstSignal{0};

static_assert(std::atomic<int>::is_always_lock_free, "read and written in signal handlers");

constexpr std::array<int, 4> kHandled = {SIGPIPE, SIGHUP, SIGINT, SIGTERM};
// The dispositions found when CRunSignals was made, put back when it goes.
struct sigaction s_found[kHandled.size()];

template <size_t N>
void Notify(const char (&text)[N]) {
    // Nothing to do when standard error is gone.
    [[maybe_unused]] const ssize_t ignored = ::write(STDERR_FILENO, text, N - 1);
}

[[noreturn]] void EndProcessBySignal(int signalNumber) {
    ReleaseOpenPorts();
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
    ::_exit(128 + signalNumber);
}

void OnStopSignal(int signalNumber) {
    const int savedErrno = errno;
    const int section = s_section.load();
    if (section == 0) {
        EndProcessBySignal(signalNumber);
    }
    int none = 0;
    s_firstSignal.compare_exchange_strong(none, signalNumber);
    const int received = s_received.fetch_add(1) + 1;
    if (section == static_cast<int>(ExchangeSection::Connect) + 1) {
        if (received == 1) {
            Notify(kConnectNotice);
        }
    } else if (received == 1) {
        Notify(kTransferNotice);
    } else if (received == 2) {
        Notify(kStoppingNotice);
    }
    errno = savedErrno;
}

}  // namespace

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

CSignalsHeld::CSignalsHeld(ExchangeSection section) {
    s_received.store(0);
    s_firstSignal.store(0);
    s_section.store(static_cast<int>(section) + 1);
}

CSignalsHeld::~CSignalsHeld() {
    s_section.store(0);
}

int CSignalsHeld::Received() const {
    return s_received.load();
}

void CSignalsHeld::EndRunIfReceived() const {
    if (s_received.load() > 0) {
        EndProcessBySignal(s_firstSignal.load());
    }
}

bool TransferStopRequested() {
    return s_section.load() == static_cast<int>(ExchangeSection::Transfer) + 1 &&
           s_received.load() >= 2;
}

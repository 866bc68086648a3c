// The exchange sections that stop requests do not interrupt, and the count of the requests held
// in each. Only lock-free atomics are touched, so that a signal handler may count.
#include <atomic>
#include <string_view>

#include "app/app.hpp"
#include "app/stop_requests.hpp"

namespace {

constexpr std::string_view kConnectNotice =
    "\nthe connection to the camera is being finished; the tool ends after it\n";
constexpr std::string_view kTransferNotice =
    "\nthe update is being finished; interrupting now leaves the camera without firmware - press "
    "Ctrl-C again to stop after the current block\n";
constexpr std::string_view kStoppingNotice = "\nthe update stops after the current block\n";

// Which section runs: 0 none, else an ExchangeSection + 1.
constinit std::atomic<int> s_section{0};
// Stop requests received in the current section, and the first of them.
constinit std::atomic<int> s_received{0};
constinit std::atomic<int> s_firstRequest{0};

static_assert(std::atomic<int>::is_always_lock_free, "read and written in signal handlers");

}  // namespace

namespace stop_requests {

bool HoldInSection(int code) {
    const int section = s_section.load();
    if (section == 0) {
        return false;
    }
    int none = 0;
    s_firstRequest.compare_exchange_strong(none, code);
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
    return true;
}

}  // namespace stop_requests

CSignalsHeld::CSignalsHeld(ExchangeSection section) {
    s_received.store(0);
    s_firstRequest.store(0);
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
        stop_requests::EndRun(s_firstRequest.load());
    }
}

bool TransferStopRequested() {
    return s_section.load() == static_cast<int>(ExchangeSection::Transfer) + 1 &&
           s_received.load() >= 2;
}

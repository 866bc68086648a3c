// The exchange sections that stop requests do not interrupt, the count of the requests held in
// each, and the transfer's result while it is shown. Only lock-free atomics are touched, so that
// a signal handler may count and read.
#include <algorithm>
#include <array>
#include <atomic>
#include <cstring>
#include <string_view>

#include "app/app.hpp"
#include "app/stop_requests.hpp"

namespace {

constexpr std::string_view kConnectNotice =
    "\nthe connection to the camera is being finished; the tool ends after it\n";
// The transfer's notice: its start, how to give the request again, its end.
constexpr std::string_view kTransferNoticeStart =
    "\nthe update is being finished; interrupting now leaves the camera without firmware - ";
constexpr std::string_view kTransferNoticeEnd = " to stop after the current block\n";
constexpr size_t kNoticeRoom = 256;
constexpr std::string_view kStoppingNotice = "\nthe update stops after the current block\n";

// Which section runs: 0 none, else an ExchangeSection + 1.
constinit std::atomic<int> s_section{0};
// Stop requests received in the current section, and the first of them.
constinit std::atomic<int> s_received{0};
constinit std::atomic<int> s_firstRequest{0};

// The exit status of the result being shown (-1: none), and whether it is shown without
// waiting for an answer.
constinit std::atomic<int> s_resultStatus{-1};
constinit std::atomic<bool> s_withoutWaiting{false};

static_assert(std::atomic<int>::is_always_lock_free, "read and written in signal handlers");

// Writes the transfer's notice for stop request `code` in one piece (no allocation: a handler
// writes it).
void NotifyTransfer(int code) {
    const std::string_view again = stop_requests::AgainText(code);
    std::array<char, kNoticeRoom> text{};
    size_t length = 0;
    for (const std::string_view part : {kTransferNoticeStart, again, kTransferNoticeEnd}) {
        const size_t n = std::min(part.size(), text.size() - length);
        std::memcpy(text.data() + length, part.data(), n);
        length += n;
    }
    stop_requests::Notify(std::string_view(text.data(), length));
}

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
        NotifyTransfer(code);
    } else if (received == 2) {
        Notify(kStoppingNotice);
    }
    return true;
}

int ResultExitStatus() {
    return s_resultStatus.load();
}

}  // namespace stop_requests

CResultShown::CResultShown(int exitStatus, bool stopRequested) {
    s_withoutWaiting.store(stopRequested);
    s_resultStatus.store(exitStatus);
}

CResultShown::~CResultShown() {
    s_resultStatus.store(-1);
    s_withoutWaiting.store(false);
}

bool ResultShownWithoutWaiting() {
    return s_withoutWaiting.load();
}

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

// A fixed table of open devices that a signal handler may read. An entry's fields are written
// before its ticket makes it visible, and the entry is taken back by one atomic exchange of the
// ticket, so that the owner and a handler never both release it, nor a later entry in its place.
#include "serial/port_registry.hpp"

#include <signal.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <array>
#include <atomic>

#include "serial/serial.hpp"

namespace port_registry {

namespace {

// One port is open at a time; the rest is headroom.
constexpr size_t kSlots = 8;
constexpr unsigned kSlotBits = 3;
static_assert(kSlots == size_t{1} << kSlotBits);

struct Slot {
    std::atomic<Ticket> ticket{kNoTicket};
    int fd = -1;
    bool hasFoundState = false;
    tty::FoundState found{};
};

static_assert(std::atomic<Ticket>::is_always_lock_free, "tickets are taken in signal handlers");

// Constant-initialised, so that a first use inside a signal handler needs no guard.
constinit std::array<Slot, kSlots> s_slots;
constinit std::atomic<Ticket> s_issued{0};

// Takes the entry back if `ticket` still names it, and puts its device back as found.
void Take(Slot& slot, Ticket ticket) {
    Ticket expected = ticket;
    if (ticket == kNoTicket || !slot.ticket.compare_exchange_strong(expected, kNoTicket)) {
        return;
    }
    if (slot.hasFoundState) {
        tty::RestoreState(slot.fd, slot.found);
    }
    ioctl(slot.fd, TIOCNXCL);
    close(slot.fd);
}

}  // namespace

Ticket Enter(int fd, const tty::FoundState* found) {
    for (size_t i = 0; i < s_slots.size(); ++i) {
        Slot& slot = s_slots[i];
        if (slot.ticket.load() != kNoTicket) {
            continue;
        }
        slot.fd = fd;
        slot.hasFoundState = found != nullptr;
        if (found != nullptr) {
            slot.found = *found;
        }
        const Ticket ticket = ((s_issued.fetch_add(1) + 1) << kSlotBits) | i;
        slot.ticket.store(ticket);
        return ticket;
    }
    return kNoTicket;
}

void Release(Ticket ticket) {
    // With every signal held off, a handler on this thread cannot end the process between the
    // entry being taken back and its device being put back.
    sigset_t all;
    sigset_t previous;
    sigfillset(&all);
    pthread_sigmask(SIG_BLOCK, &all, &previous);
    Take(s_slots[ticket & (kSlots - 1)], ticket);
    pthread_sigmask(SIG_SETMASK, &previous, nullptr);
}

void ReleaseAll() {
    for (Slot& slot : s_slots) {
        Take(slot, slot.ticket.load());
    }
}

}  // namespace port_registry

void ReleaseOpenPorts() {
    port_registry::ReleaseAll();
}

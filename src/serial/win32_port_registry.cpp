// A fixed table of open ports, shared by the thread that owns them and the console's control
// thread. An entry is taken by one atomic exchange of its flag; its fields are guarded by its
// lock (a slim reader/writer lock, usable from the first moment without a constructor running).
#include "serial/win32_port_registry.hpp"

#include <array>
#include <atomic>

#include "serial/serial.hpp"

namespace win32_registry {

namespace {

// One port is open at a time; the rest is headroom.
constexpr size_t kSlots = 8;

struct Slot {
    SRWLOCK lock = SRWLOCK_INIT;
    std::atomic<bool> taken{false};
    bool open = false;
    HANDLE handle = nullptr;
    std::atomic<DWORD> owner{0};  // the thread that opened it, whose reads may be cancelled
    DCB found{};
    COMMTIMEOUTS foundTimeouts{};
};

constinit std::array<Slot, kSlots> s_slots;
// Set while ReleaseAll() runs: uses and new entries are refused at once, so that the owner's
// thread cannot keep a port's lock from it.
constinit std::atomic<bool> s_releasing{false};

// Restores and closes an open slot; its lock is held.
void PutBack(Slot& slot) {
    if (!slot.open) {
        return;
    }
    SetCommState(slot.handle, &slot.found);
    SetCommTimeouts(slot.handle, &slot.foundTimeouts);
    CloseHandle(slot.handle);
    slot.open = false;
    slot.handle = nullptr;
}

// Cuts short the synchronous read or write that thread `owner` waits in, where the driver lets
// it (not every one does: then the operation ends by its own deadline).
void CancelWaitOf(DWORD owner) {
    HANDLE thread = owner != 0 ? OpenThread(THREAD_TERMINATE, FALSE, owner) : nullptr;
    if (thread != nullptr) {
        CancelSynchronousIo(thread);
        CloseHandle(thread);
    }
}

Slot* SlotOf(Ticket ticket) {
    return ticket >= 0 && static_cast<size_t>(ticket) < kSlots
               ? &s_slots[static_cast<size_t>(ticket)]
               : nullptr;
}

}  // namespace

Ticket Enter(HANDLE handle, const DCB& found, const COMMTIMEOUTS& foundTimeouts) {
    for (size_t i = 0; i < kSlots; ++i) {
        Slot& slot = s_slots[i];
        bool free = false;
        if (!slot.taken.compare_exchange_strong(free, true)) {
            continue;
        }
        AcquireSRWLockExclusive(&slot.lock);
        const bool refused = s_releasing.load();
        if (!refused) {
            slot.handle = handle;
            slot.found = found;
            slot.foundTimeouts = foundTimeouts;
            slot.owner.store(GetCurrentThreadId());
            slot.open = true;
        }
        ReleaseSRWLockExclusive(&slot.lock);
        if (refused) {
            slot.taken.store(false);
            break;
        }
        return static_cast<Ticket>(i);
    }
    CloseHandle(handle);
    return kNoTicket;
}

CUse::CUse(Ticket ticket) : m_ticket(ticket) {
    Slot* slot = SlotOf(ticket);
    if (slot == nullptr) {
        return;
    }
    AcquireSRWLockExclusive(&slot->lock);
    if (slot->open && !s_releasing.load()) {
        m_handle = slot->handle;
    }
}

CUse::~CUse() {
    if (Slot* slot = SlotOf(m_ticket)) {
        ReleaseSRWLockExclusive(&slot->lock);
    }
}

void Release(Ticket ticket) {
    Slot* slot = SlotOf(ticket);
    if (slot == nullptr) {
        return;
    }
    AcquireSRWLockExclusive(&slot->lock);
    PutBack(*slot);
    ReleaseSRWLockExclusive(&slot->lock);
    slot->taken.store(false);
}

void ReleaseAll() {
    s_releasing.store(true);
    for (Slot& slot : s_slots) {
        if (!slot.taken.load()) {
            continue;
        }
        if (TryAcquireSRWLockExclusive(&slot.lock) == 0) {
            // The owner is using the port.
            CancelWaitOf(slot.owner.load());
            AcquireSRWLockExclusive(&slot.lock);
        }
        PutBack(slot);
        ReleaseSRWLockExclusive(&slot.lock);
    }
    s_releasing.store(false);
}

}  // namespace win32_registry

void ReleaseOpenPorts() {
    win32_registry::ReleaseAll();
}

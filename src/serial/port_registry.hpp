// The POSIX devices this process holds open, each with the terminal state it had before the
// process opened it, so that whatever ends the process can put every one back as it was found.
#pragma once

#include <cstdint>

#include "serial/tty_settings.hpp"

namespace port_registry {

// Names one entry for as long as it lasts; never 0 for an entry.
using Ticket = uint64_t;
constexpr Ticket kNoTicket = 0;

// Enters an open device (its terminal state as found, or null when there is nothing to put
// back). Returns its ticket, or kNoTicket when the table is full.
Ticket Enter(int fd, const tty::FoundState* found);

// Puts the device back as it was found, clears its exclusive use and closes it (which drops its
// file lock). Done once per entry, by whichever comes first: the owner closing the port or
// ReleaseOpenPorts(); a ticket whose entry has gone does nothing. Async-signal-safe.
void Release(Ticket ticket);

// Releases every entry (what ReleaseOpenPorts() does). Async-signal-safe.
void ReleaseAll();

}  // namespace port_registry

// The Windows ports this process holds open, each with the settings and time-outs it had before
// the process opened it, so that whatever ends the process can put every one back as it was
// found. The console's Ctrl+C arrives on a thread of its own: every use of a port's handle
// therefore happens under its entry's lock, and once the entry has been released the handle is
// closed and every later use is refused.
#pragma once

#include <windows.h>

namespace win32_registry {

// Names one entry for as long as it lasts.
using Ticket = int;
constexpr Ticket kNoTicket = -1;

// Enters an open port with its state as found; the registry owns the handle from here. Returns
// kNoTicket (the handle closed) when the table is full or the ports are being released.
Ticket Enter(HANDLE handle, const DCB& found, const COMMTIMEOUTS& foundTimeouts);

// One use of an entry's handle: holds the entry for the lifetime of the object.
class CUse {
  public:
    explicit CUse(Ticket ticket);
    ~CUse();
    CUse(const CUse&) = delete;
    CUse& operator=(const CUse&) = delete;

    // The port's handle, or null when the port has been released (or is being released).
    HANDLE Handle() const { return m_handle; }

  private:
    Ticket m_ticket;
    HANDLE m_handle = nullptr;
};

// Puts the port back as found and closes it; once per entry, by whichever comes first: the
// owner closing the port or ReleaseAll(). A ticket whose entry has gone does nothing.
void Release(Ticket ticket);

// Releases every entry, from any thread. A use in progress on another thread is cancelled where
// the system can (CancelSynchronousIo), else awaited: it ends by its own deadline.
void ReleaseAll();

}  // namespace win32_registry

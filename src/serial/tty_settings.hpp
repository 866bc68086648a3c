// Terminal settings of an open POSIX serial device through the Linux termios2 interface, which
// sets any baud rate (56,000 and 1,200 included). Kept apart from <termios.h>, whose definitions
// clash with the kernel's.
#pragma once

#include "serial/serial.hpp"

namespace tty {

// The whole terminal state of a device as found, kept so that it can be put back.
struct FoundState {
    alignas(8) unsigned char bytes[64];
};
// Reads the device's terminal state; false when it is no terminal.
bool SaveState(int fd, FoundState* state);
// Puts a saved terminal state back at once (no wait for output). Async-signal-safe.
bool RestoreState(int fd, const FoundState& state);

// Raw binary line: no echo, no canonical input, no signals, no translation of any byte, no
// software or hardware flow control, reads never wait (VMIN = VTIME = 0), receiver on, modem
// lines ignored. The baud rate and framing are kept.
bool MakeRaw(int fd);
// Reads baud rate and framing (byte size, parity, stop bits, parity checking).
bool ReadLineSettings(int fd, LineSettings* settings);
// Writes baud rate and framing, keeping the line raw.
bool WriteLineSettings(int fd, const LineSettings& settings);
// Discards the kernel's input and/or output queue.
bool Flush(int fd, bool input, bool output);

}  // namespace tty

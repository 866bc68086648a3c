// The trace file on this system's terms (posix_trace_output.cpp, win32_trace_output.cpp): opened
// without waiting, written without blocking the update, and writable from a stop signal's
// handler.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace trace_output {

// Opens (creates, or empties a regular file) `path` for writing without waiting: a FIFO that no
// program reads is refused. The descriptor, or -1 with the reason in *reason.
int Open(const std::string& path, std::string* reason);
// Writes the n bytes. What a full pipe does not take at once is left out and counted in
// *dropped, so that a reader that does not keep up never holds the update up. False when the
// write failed.
bool Write(int fd, const char* data, size_t n, uint64_t* dropped);
// False when the file could not be closed (its last bytes may be lost).
bool Close(int fd);

}  // namespace trace_output

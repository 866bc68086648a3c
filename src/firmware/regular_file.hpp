// A firmware file opened for reading on this operating system's terms (posix_regular_file.cpp,
// win32_regular_file.cpp). Only a regular file is accepted: a directory, a pipe or a device is
// refused before a byte is read, and opening never waits for a writer.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

class CRegularFile {
  public:
    explicit CRegularFile(const std::string& path);
    ~CRegularFile();
    CRegularFile(const CRegularFile&) = delete;
    CRegularFile& operator=(const CRegularFile&) = delete;

    // False when the path could not be opened or is no regular file.
    bool IsOpen() const { return m_file != kClosed; }
    // Bytes from the current position to the end, or -1 when they cannot be counted.
    int64_t RemainingSize();
    // Reads up to n bytes, fewer only at the end of the file; the count read, or -1 on failure.
    int64_t Read(uint8_t* dst, size_t n);

  private:
    static constexpr intptr_t kClosed = -1;
    intptr_t m_file = kClosed;  // the descriptor, or the Windows handle
};

// Firmware files on POSIX systems: looked at before they are opened, so that a device is never
// opened (opening a serial port raises its modem lines), then opened without waiting and without
// taking a terminal, and refused unless fstat finds the same regular file.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "firmware/regular_file.hpp"

CRegularFile::CRegularFile(const std::string& path) {
    struct stat named {};
    if (::stat(path.c_str(), &named) != 0 || !S_ISREG(named.st_mode)) {
        return;
    }
    // Opening never waits (a FIFO with no writer would hold the tool for ever) and never makes a
    // terminal ours; a path that changed to anything but that regular file meanwhile is then
    // refused before a byte is read.
    const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0) {
        return;
    }
    struct stat status {};
    if (::fstat(fd, &status) != 0 || !S_ISREG(status.st_mode) || status.st_dev != named.st_dev ||
        status.st_ino != named.st_ino) {
        ::close(fd);
        return;
    }
    m_file = fd;
}

CRegularFile::~CRegularFile() {
    if (IsOpen()) {
        ::close(static_cast<int>(m_file));
    }
}

int64_t CRegularFile::RemainingSize() {
    // Seek to the end and back to where the file was.
    const int fd = static_cast<int>(m_file);
    const off_t start = ::lseek(fd, 0, SEEK_CUR);
    const off_t end = ::lseek(fd, 0, SEEK_END);
    if (start < 0 || end < 0 || ::lseek(fd, start, SEEK_SET) < 0) {
        return -1;
    }
    return static_cast<int64_t>(end - start);
}

int64_t CRegularFile::Read(uint8_t* dst, size_t n) {
    size_t done = 0;
    while (done < n) {
        const ssize_t got = ::read(static_cast<int>(m_file), dst + done, n - done);
        if (got < 0) {
            if (errno == EINTR) {
                continue;
            }
            return -1;
        }
        if (got == 0) {
            break;
        }
        done += static_cast<size_t>(got);
    }
    return static_cast<int64_t>(done);
}

// Loading a firmware file whole.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <limits>
#include <new>

#include "firmware/firmware.hpp"

std::span<const uint8_t> FirmwareImage::Data() const {
    if (bytes.size() <= kFirmwareHeaderBytes) {
        return {};
    }
    return std::span<const uint8_t>(bytes).subspan(kFirmwareHeaderBytes);
}

namespace {

// Closes the descriptor when it goes out of scope.
class FileCloser {
  public:
    explicit FileCloser(int fd) : m_fd(fd) {}
    ~FileCloser() { ::close(m_fd); }
    FileCloser(const FileCloser&) = delete;
    FileCloser& operator=(const FileCloser&) = delete;

  private:
    int m_fd;
};

// Reads up to n bytes, retrying after interruptions; returns the count read or -1 on failure.
int64_t ReadFully(int fd, uint8_t* dst, size_t n) {
    size_t done = 0;
    while (done < n) {
        const ssize_t got = ::read(fd, dst + done, n - done);
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

// LoadFirmwareFile without its guard against allocation failures.
LoadOutcome LoadWholeFile(const std::string& path, FirmwareImage* image, int64_t* size) {
    *size = 0;
    image->bytes.clear();

    // Opening never waits (a FIFO with no writer would hold the tool for ever) and never makes a
    // terminal ours; anything but a regular file is then refused before a byte is read.
    const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0) {
        return LoadOutcome::OpenOrReadError;
    }
    FileCloser closer(fd);
    struct stat status {};
    if (::fstat(fd, &status) != 0 || !S_ISREG(status.st_mode)) {
        return LoadOutcome::OpenOrReadError;
    }

    // The size: seek to the end and back to where the file was.
    const off_t start = ::lseek(fd, 0, SEEK_CUR);
    const off_t end = ::lseek(fd, 0, SEEK_END);
    if (start < 0 || end < 0 || ::lseek(fd, start, SEEK_SET) < 0) {
        return LoadOutcome::OpenOrReadError;
    }
    const int64_t found = static_cast<int64_t>(end - start);
    *size = found;
    // The size is a positive 32-bit signed count.
    if (found <= 0 || found > std::numeric_limits<int32_t>::max()) {
        return LoadOutcome::OpenOrReadError;
    }

    std::vector<uint8_t> bytes(static_cast<size_t>(found), 0);
    if (ReadFully(fd, bytes.data(), bytes.size()) != found) {
        // Failed, or fewer bytes than the size found: never hand on a zero-padded image.
        return LoadOutcome::OpenOrReadError;
    }
    // A file that grew while it was read is not the file whose size was found.
    uint8_t extra = 0;
    if (ReadFully(fd, &extra, 1) != 0) {
        return LoadOutcome::OpenOrReadError;
    }

    image->bytes = std::move(bytes);
    return LoadOutcome::Loaded;
}

}  // namespace

LoadOutcome LoadFirmwareFile(const std::string& path, FirmwareImage* image, int64_t* size) {
    // A file too big for the memory there is cannot be loaded: that is a read error like any
    // other, never an exception that leaves this layer.
    try {
        return LoadWholeFile(path, image, size);
    } catch (const std::bad_alloc&) {
        image->bytes.clear();
        return LoadOutcome::OpenOrReadError;
    }
}

// The trace file on POSIX systems: opened non-blocking, so that a FIFO with no reader is refused
// at once (ENXIO) instead of waiting in open, and a FIFO whose reader lags never stops the tool.
#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <system_error>

#include "trace_output.hpp"

namespace trace_output {

int Open(const std::string& path, std::string* reason) {
    const int fd = ::open(path.c_str(),
                          O_WRONLY | O_CREAT | O_TRUNC | O_NONBLOCK | O_NOCTTY | O_CLOEXEC, 0666);
    if (fd < 0) {
        *reason = errno == ENXIO ? std::string("no program reads from this FIFO")
                                 : std::error_code(errno, std::generic_category()).message();
    }
    return fd;
}

bool Write(int fd, const char* data, size_t n, uint64_t* dropped) {
    size_t done = 0;
    while (done < n) {
        const ssize_t written = ::write(fd, data + done, n - done);
        if (written > 0) {
            done += static_cast<size_t>(written);
        } else if (written < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
            *dropped += n - done;
            return true;
        } else if (!(written < 0 && errno == EINTR)) {
            return false;
        }
    }
    return true;
}

bool Close(int fd) {
    return ::close(fd) == 0;
}

}  // namespace trace_output

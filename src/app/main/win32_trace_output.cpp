// The trace file on Windows, through the C runtime's descriptors, which a console control
// handler's thread can write as well.
#include <fcntl.h>
#include <io.h>
#include <sys/stat.h>

#include <cerrno>
#include <climits>
#include <system_error>

#include "app/app.hpp"
#include "trace_output.hpp"

namespace trace_output {

int Open(const std::string& path, std::string* reason) {
    // The path is UTF-8, as every path inside the program.
    const int fd =
        ::_wopen(PathFromUtf8(path).c_str(),
                 _O_WRONLY | _O_CREAT | _O_TRUNC | _O_BINARY | _O_NOINHERIT, _S_IREAD | _S_IWRITE);
    if (fd < 0) {
        *reason = std::error_code(errno, std::generic_category()).message();
    }
    return fd;
}

bool Write(int fd, const char* data, size_t n, uint64_t* /*dropped*/) {
    size_t done = 0;
    while (done < n) {
        const size_t chunk = n - done < INT_MAX ? n - done : INT_MAX;
        const int written = ::_write(fd, data + done, static_cast<unsigned>(chunk));
        if (written <= 0) {
            return false;
        }
        done += static_cast<size_t>(written);
    }
    return true;
}

bool Close(int fd) {
    return ::_close(fd) == 0;
}

}  // namespace trace_output

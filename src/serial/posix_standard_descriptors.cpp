// Standard input, output and error kept at their numbers: a process started with one of them
// closed (2>&-, some service managers) would otherwise give that number to the next file it
// opens, and the serial port would receive the program's messages.
#include <fcntl.h>
#include <unistd.h>

#include <cerrno>

#include "serial/serial.hpp"

void FillClosedStandardDescriptors() {
    for (int fd = STDIN_FILENO; fd <= STDERR_FILENO; ++fd) {
        if (fcntl(fd, F_GETFD) != -1 || errno != EBADF) {
            continue;
        }
        // The lowest free number is this one: the ones below it are open by now.
        const int opened = open("/dev/null", O_RDWR | O_NOCTTY);
        if (opened >= 0 && opened != fd) {
            dup2(opened, fd);
            close(opened);
        }
    }
}

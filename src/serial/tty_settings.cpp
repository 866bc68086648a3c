// termios2 access to serial devices. Only the kernel's definitions are included here.
#include <asm/termbits.h>
#include <sys/ioctl.h>

#include <cstring>

#include "serial/tty_settings.hpp"

namespace tty {

namespace {

bool Get(int fd, termios2* t) {
    return ioctl(fd, TCGETS2, t) == 0;
}

bool Set(int fd, const termios2& t) {
    return ioctl(fd, TCSETS2, &t) == 0;
}

void ApplyRaw(termios2* t) {
    t->c_iflag &= ~static_cast<tcflag_t>(IGNBRK | BRKINT | PARMRK | ISTRIP | INLCR | IGNCR | ICRNL |
                                         IXON | IXOFF | IXANY | IUCLC | IMAXBEL);
    t->c_oflag &= ~static_cast<tcflag_t>(OPOST);
    t->c_lflag &=
        ~static_cast<tcflag_t>(ECHO | ECHOE | ECHOK | ECHONL | ICANON | ISIG | IEXTEN | XCASE);
    t->c_cflag &= ~static_cast<tcflag_t>(CRTSCTS);
    t->c_cflag |= CLOCAL | CREAD;
    t->c_cc[VMIN] = 0;
    t->c_cc[VTIME] = 0;
}

}  // namespace

static_assert(sizeof(termios2) <= sizeof(FoundState::bytes), "a terminal state fits");

bool SaveState(int fd, FoundState* state) {
    termios2 t{};
    if (!Get(fd, &t)) {
        return false;
    }
    std::memcpy(state->bytes, &t, sizeof t);
    return true;
}

bool RestoreState(int fd, const FoundState& state) {
    termios2 t{};
    std::memcpy(&t, state.bytes, sizeof t);
    return Set(fd, t);
}

bool MakeRaw(int fd) {
    termios2 t{};
    if (!Get(fd, &t)) {
        return false;
    }
    ApplyRaw(&t);
    return Set(fd, t);
}

bool ReadLineSettings(int fd, LineSettings* settings) {
    termios2 t{};
    if (!Get(fd, &t)) {
        return false;
    }
    settings->baudRate = t.c_ospeed;
    switch (t.c_cflag & CSIZE) {
        case CS5:
            settings->byteSize = 5;
            break;
        case CS6:
            settings->byteSize = 6;
            break;
        case CS7:
            settings->byteSize = 7;
            break;
        default:
            settings->byteSize = 8;
            break;
    }
    if ((t.c_cflag & PARENB) == 0) {
        settings->parity = 0;
    } else {
        settings->parity = (t.c_cflag & PARODD) != 0 ? 1 : 2;  // odd 1, even 2
    }
    settings->stopBits = (t.c_cflag & CSTOPB) != 0 ? 2 : 0;  // 0 one, 2 two
    settings->parityCheck = (t.c_iflag & INPCK) != 0;
    return true;
}

bool WriteLineSettings(int fd, const LineSettings& settings) {
    termios2 t{};
    if (!Get(fd, &t)) {
        return false;
    }
    ApplyRaw(&t);
    t.c_cflag &=
        ~static_cast<tcflag_t>(CBAUD | (CBAUD << IBSHIFT) | CSIZE | PARENB | PARODD | CSTOPB);
    t.c_cflag |= BOTHER | (BOTHER << IBSHIFT);
    t.c_ospeed = settings.baudRate;
    t.c_ispeed = settings.baudRate;
    switch (settings.byteSize) {
        case 5:
            t.c_cflag |= CS5;
            break;
        case 6:
            t.c_cflag |= CS6;
            break;
        case 7:
            t.c_cflag |= CS7;
            break;
        default:
            t.c_cflag |= CS8;
            break;
    }
    if (settings.parity != 0) {
        t.c_cflag |= PARENB;
        if (settings.parity == 1) {
            t.c_cflag |= PARODD;
        }
    }
    if (settings.stopBits != 0) {
        t.c_cflag |= CSTOPB;
    }
    if (settings.parityCheck && settings.parity != 0) {
        t.c_iflag |= INPCK;
    } else {
        t.c_iflag &= ~static_cast<tcflag_t>(INPCK);
    }
    if (!Set(fd, t)) {
        return false;
    }
    // The driver may round the rate; one it cannot set at all is a failure.
    termios2 check{};
    return Get(fd, &check) && check.c_ospeed != 0;
}

bool Flush(int fd, bool input, bool output) {
    if (!input && !output) {
        return true;
    }
    const int queue = input && output ? TCIOFLUSH : (input ? TCIFLUSH : TCOFLUSH);
    return ioctl(fd, TCFLSH, queue) == 0;
}

}  // namespace tty

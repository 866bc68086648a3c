#include "xvfb_server.hpp"

#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <string>

bool CXvfbServer::Start(int timeoutMs) {
    char dir[] = "/tmp/tk358fw-screen.XXXXXX";
    if (mkdtemp(dir) == nullptr) {
        return false;
    }
    m_screenDir = dir;
    int fds[2];
    if (pipe(fds) != 0) {
        Stop();
        return false;
    }
    const pid_t pid = fork();
    if (pid < 0) {
        close(fds[0]);
        close(fds[1]);
        Stop();
        return false;
    }
    if (pid == 0) {
        close(fds[0]);
        const std::string fd = std::to_string(fds[1]);
        execlp("Xvfb", "Xvfb", "-displayfd", fd.c_str(), "-screen", "0", "1024x768x24", "-nolisten",
               "tcp", "-noreset", "-fbdir", m_screenDir.c_str(), static_cast<char*>(nullptr));
        _exit(127);
    }
    close(fds[1]);
    m_pid = pid;
    // The server writes its display number once it accepts connections.
    std::string number;
    pollfd p{fds[0], POLLIN, 0};
    while (poll(&p, 1, timeoutMs) == 1) {
        char c;
        if (read(fds[0], &c, 1) != 1 || c == '\n') {
            break;
        }
        number += c;
    }
    close(fds[0]);
    if (number.empty()) {
        Stop();
        return false;
    }
    m_display = ":" + number;
    return true;
}

void CXvfbServer::Stop() {
    if (m_pid > 0) {
        kill(m_pid, SIGTERM);
        int status = 0;
        waitpid(m_pid, &status, 0);
        m_pid = -1;
    }
    m_display.clear();
    if (!m_screenDir.empty()) {
        std::error_code ignored;
        std::filesystem::remove_all(m_screenDir, ignored);
        m_screenDir.clear();
    }
}

#include "child_process.hpp"

#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>

CChildProcess::~CChildProcess() {
    CloseInput();
    if (Running()) {
        kill(m_pid, SIGTERM);
        WaitExit(5000);
        if (Running()) {
            kill(m_pid, SIGKILL);
            WaitExit(5000);
        }
    }
}

bool CChildProcess::Start(const std::vector<std::string>& argv, const std::vector<std::string>& env,
                          const std::string& stdoutFile) {
    int input[2];
    if (pipe(input) != 0) {
        return false;
    }
    const pid_t pid = fork();
    if (pid < 0) {
        return false;
    }
    if (pid == 0) {
        dup2(input[0], 0);
        close(input[0]);
        close(input[1]);
        const int out = open(stdoutFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        if (out >= 0) {
            dup2(out, 1);
            dup2(out, 2);
            close(out);
        }
        for (const std::string& e : env) {
            putenv(const_cast<char*>(e.c_str()));
        }
        std::vector<char*> args;
        for (const std::string& a : argv) {
            args.push_back(const_cast<char*>(a.c_str()));
        }
        args.push_back(nullptr);
        execv(args[0], args.data());
        _exit(127);
    }
    close(input[0]);
    m_input = input[1];
    m_pid = pid;
    return true;
}

void CChildProcess::CloseInput() {
    if (m_input >= 0) {
        close(m_input);
        m_input = -1;
    }
}

bool CChildProcess::Running() {
    if (m_pid <= 0) {
        return false;
    }
    int status = 0;
    const pid_t r = waitpid(m_pid, &status, WNOHANG);
    if (r == m_pid) {
        m_status = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
        m_pid = -1;
        return false;
    }
    return r == 0;
}

int CChildProcess::WaitExit(int timeoutMs) {
    if (!WaitUntil(timeoutMs, [this] { return !Running(); })) {
        return -1;
    }
    return m_status;
}

std::string RunCommand(const std::string& command) {
    std::string out;
    FILE* pipe = popen(command.c_str(), "r");
    if (pipe == nullptr) {
        return out;
    }
    char chunk[4096];
    size_t n;
    while ((n = fread(chunk, 1, sizeof chunk, pipe)) > 0) {
        out.append(chunk, n);
    }
    pclose(pipe);
    return out;
}

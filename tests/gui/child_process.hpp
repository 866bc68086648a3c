// Programs the real-window tests start: with extra environment, standard input held in a pipe,
// standard output captured to a file; stopped (if still running) at destruction.
#pragma once

#include <sys/types.h>

#include <string>
#include <vector>

class CChildProcess {
  public:
    CChildProcess() = default;
    ~CChildProcess();
    CChildProcess(const CChildProcess&) = delete;
    CChildProcess& operator=(const CChildProcess&) = delete;

    // `env` entries are "NAME=value", added to this process's environment.
    bool Start(const std::vector<std::string>& argv, const std::vector<std::string>& env,
               const std::string& stdoutFile);
    // Closes the child's standard input.
    void CloseInput();
    // Waits at most `timeoutMs` for the exit; the exit status, or -1 when it did not end.
    int WaitExit(int timeoutMs);
    bool Running();

  private:
    pid_t m_pid = -1;
    int m_input = -1;
    int m_status = -1;
};

// Polls `condition` every 50 ms for at most `timeoutMs`; true once it holds.
template <typename Condition>
bool WaitUntil(int timeoutMs, Condition condition);

// Runs a shell command and returns its standard output.
std::string RunCommand(const std::string& command);

#include "child_process_inl.hpp"

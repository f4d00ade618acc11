// Runs a program of the build as a child process for tests: arguments,
// extra environment, its standard error collected, signals, exit status.
#pragma once

#include <chrono>
#include <map>
#include <string>
#include <sys/types.h>
#include <vector>

namespace tovanix::test {

// Folder of the built programs and libraries (build/bin).
std::string binDir();

class ChildProcess {
public:
    ChildProcess() = default;
    ~ChildProcess();
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;

    // Starts `path` with `args`; `env` entries are added to (or replace) the
    // test's own environment, the `unset` ones are taken out of it. Standard
    // error (and output, unless discarded) go to a pipe.
    bool start(const std::string& path, const std::vector<std::string>& args,
               const std::map<std::string, std::string>& env = {}, const std::vector<std::string>& unset = {});
    // Before start: standard output goes nowhere, so what is collected was
    // written to standard error.
    void discardStandardOutput() { discardOutput_ = true; }
    // Waits until the collected output contains `text` or the time-out passes.
    bool waitForOutput(const std::string& text, std::chrono::milliseconds timeout);
    // Waits for the exit; returns the exit status, or -1 on time-out, or
    // 128 + signal when killed by a signal.
    int wait(std::chrono::milliseconds timeout);
    void signal(int sig);
    std::string output();
    pid_t pid() const { return pid_; }

private:
    void drain(int timeoutMs);
    pid_t pid_ = -1;
    int out_ = -1;
    std::string collected_;
    int status_ = -1;
    bool discardOutput_ = false;
};

}  // namespace tovanix::test

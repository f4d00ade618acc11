#include "tests/support/process.h"

#include <csignal>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace tovanix::test {

std::string binDir() { return TOVANIX_TEST_BIN_DIR; }

ChildProcess::~ChildProcess() {
    if (pid_ > 0 && status_ < 0) {
        ::kill(pid_, SIGKILL);
        ::waitpid(pid_, nullptr, 0);
    }
    if (out_ >= 0) ::close(out_);
}

bool ChildProcess::start(const std::string& path, const std::vector<std::string>& args,
                         const std::map<std::string, std::string>& env, const std::vector<std::string>& unset) {
    int fds[2];
    if (::pipe2(fds, O_CLOEXEC) != 0) return false;
    std::map<std::string, std::string> merged;
    for (char** e = environ; *e != nullptr; ++e) {
        std::string kv = *e;
        auto eq = kv.find('=');
        if (eq != std::string::npos) merged[kv.substr(0, eq)] = kv.substr(eq + 1);
    }
    for (const auto& [k, v] : env) merged[k] = v;
    for (const auto& k : unset) merged.erase(k);
    std::vector<std::string> envStrings;
    for (const auto& [k, v] : merged) envStrings.push_back(k + "=" + v);
    const int nowhere = discardOutput_ ? ::open("/dev/null", O_WRONLY | O_CLOEXEC) : -1;
    pid_ = ::fork();
    if (pid_ < 0) {
        if (nowhere >= 0) ::close(nowhere);
        return false;
    }
    if (pid_ == 0) {
        ::dup2(nowhere >= 0 ? nowhere : fds[1], STDOUT_FILENO);
        ::dup2(fds[1], STDERR_FILENO);
        // The child starts with no signal blocked, whatever the test did.
        sigset_t none;
        sigemptyset(&none);
        sigprocmask(SIG_SETMASK, &none, nullptr);
        std::vector<char*> argv{const_cast<char*>(path.c_str())};
        for (const auto& a : args) argv.push_back(const_cast<char*>(a.c_str()));
        argv.push_back(nullptr);
        std::vector<char*> envp;
        for (auto& s : envStrings) envp.push_back(s.data());
        envp.push_back(nullptr);
        ::execve(path.c_str(), argv.data(), envp.data());
        ::_exit(127);
    }
    ::close(fds[1]);
    if (nowhere >= 0) ::close(nowhere);
    out_ = fds[0];
    return true;
}

void ChildProcess::drain(int timeoutMs) {
    if (out_ < 0) return;
    pollfd p {out_, POLLIN, 0};
    if (::poll(&p, 1, timeoutMs) <= 0) return;
    char buf[4096];
    ssize_t n = ::read(out_, buf, sizeof buf);
    if (n > 0) collected_.append(buf, static_cast<std::size_t>(n));
    else if (n == 0) {
        ::close(out_);
        out_ = -1;
    }
}

bool ChildProcess::waitForOutput(const std::string& text, std::chrono::milliseconds timeout) {
    auto deadline = std::chrono::steady_clock::now() + timeout;
    while (collected_.find(text) == std::string::npos) {
        auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0 || out_ < 0) return collected_.find(text) != std::string::npos;
        drain(static_cast<int>(left.count()));
    }
    return true;
}

int ChildProcess::wait(std::chrono::milliseconds timeout) {
    if (status_ >= 0) return status_;
    auto deadline = std::chrono::steady_clock::now() + timeout;
    for (;;) {
        int st = 0;
        pid_t r = ::waitpid(pid_, &st, WNOHANG);
        if (r == pid_) {
            status_ = WIFEXITED(st) ? WEXITSTATUS(st) : 128 + WTERMSIG(st);
            while (out_ >= 0) drain(100);
            return status_;
        }
        auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0) return -1;
        drain(static_cast<int>(std::min<long long>(left.count(), 50)));
    }
}

void ChildProcess::signal(int sig) {
    if (pid_ > 0 && status_ < 0) ::kill(pid_, sig);
}

std::string ChildProcess::output() {
    drain(0);
    return collected_;
}

}  // namespace tovanix::test

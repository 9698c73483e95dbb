#pragma once
// A helper program run as a child with its standard output on a pipe; killed and reaped
// when the test is done with it, whatever happened.
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <string>
#include <vector>

#include "common/UniqueFd.h"

extern char** environ;

namespace imgdl::test {

class HelperProcess {
  public:
    explicit HelperProcess(std::vector<std::string> args) {
        int fds[2];
        if (::pipe2(fds, O_CLOEXEC) != 0) return;
        UniqueFd readEnd(fds[0]);
        UniqueFd writeEnd(fds[1]);
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_adddup2(&actions, writeEnd.get(), STDOUT_FILENO);
        std::vector<char*> argv;
        for (std::string& a : args) argv.push_back(a.data());
        argv.push_back(nullptr);
        if (posix_spawn(&pid_, argv[0], &actions, nullptr, argv.data(), environ) != 0) pid_ = -1;
        posix_spawn_file_actions_destroy(&actions);
        output_ = std::move(readEnd);
    }
    ~HelperProcess() {
        if (pid_ > 0) {
            ::kill(pid_, SIGKILL);
            wait();
        }
    }
    HelperProcess(const HelperProcess&) = delete;
    HelperProcess& operator=(const HelperProcess&) = delete;

    bool started() const { return pid_ > 0; }
    pid_t pid() const { return pid_; }

    // The next line of output (without '\n'); empty at the end or after `timeout`.
    std::string readLine(std::chrono::milliseconds timeout = std::chrono::seconds(60)) {
        const auto deadline = std::chrono::steady_clock::now() + timeout;
        for (;;) {
            if (const auto end = pending_.find('\n'); end != std::string::npos) {
                std::string line = pending_.substr(0, end);
                pending_.erase(0, end + 1);
                return line;
            }
            const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                deadline - std::chrono::steady_clock::now());
            pollfd p{output_.get(), POLLIN, 0};
            if (left.count() <= 0 || ::poll(&p, 1, static_cast<int>(left.count())) <= 0) return {};
            char buffer[4096];
            const long n = ::read(output_.get(), buffer, sizeof buffer);
            if (n <= 0) return {};
            pending_.append(buffer, static_cast<std::size_t>(n));
        }
    }

    std::vector<std::string> readAllLines() {
        std::vector<std::string> lines;
        for (std::string line = readLine(); !line.empty(); line = readLine()) lines.push_back(line);
        return lines;
    }

    void sendSignal(int signal = SIGKILL) {
        if (pid_ > 0) ::kill(pid_, signal);
    }

    // The exit code, or 128 + the signal that ended it.
    int wait() {
        int status = 0;
        if (pid_ <= 0 || ::waitpid(pid_, &status, 0) != pid_) return -1;
        pid_ = -1;
        return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    }

  private:
    pid_t pid_ = -1;
    UniqueFd output_;
    std::string pending_;
};

}  // namespace imgdl::test

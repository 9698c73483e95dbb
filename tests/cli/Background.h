#pragma once
// Programs the provisioning tests start in the background: recorder-sim on several ports,
// imgdl runs that overlap or are watched from outside. Each is killed and reaped when its
// owner goes, so a failing test leaves no process behind.
#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <signal.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "common/UniqueFd.h"

extern char** environ;

namespace imgdl::test {

class Background {
  public:
    // argv[0] is the program's path; standard output and error go to the files named.
    Background(const std::vector<std::string>& argv, const std::string& out,
               const std::string& err) {
        posix_spawn_file_actions_t files;
        posix_spawn_file_actions_init(&files);
        posix_spawn_file_actions_addopen(&files, 0, "/dev/null", O_RDONLY, 0);
        posix_spawn_file_actions_addopen(&files, 1, out.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                         0644);
        posix_spawn_file_actions_addopen(&files, 2, err.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                         0644);
        std::vector<char*> args;
        for (const auto& a : argv) args.push_back(const_cast<char*>(a.c_str()));
        args.push_back(nullptr);
        if (posix_spawn(&pid_, args[0], &files, nullptr, args.data(), environ) != 0) pid_ = -1;
        posix_spawn_file_actions_destroy(&files);
    }
    ~Background() {
        if (pid_ <= 0 || exit_ != kRunning) return;
        ::kill(pid_, SIGKILL);
        ::waitpid(pid_, nullptr, 0);
    }
    Background(const Background&) = delete;
    Background& operator=(const Background&) = delete;

    pid_t pid() const { return pid_; }
    bool running() {
        reap(WNOHANG);
        return exit_ == kRunning;
    }
    // Its exit code once it has ended by itself within `limit`; -1 when it had to be killed.
    int wait(std::chrono::seconds limit = std::chrono::seconds(60)) {
        const auto giveUp = std::chrono::steady_clock::now() + limit;
        while (running() && std::chrono::steady_clock::now() < giveUp)
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        if (exit_ == kRunning) {
            ::kill(pid_, SIGKILL);
            reap(0);
            return -1;
        }
        return exit_;
    }

  private:
    static constexpr int kRunning = -2;
    void reap(int flags) {
        if (pid_ <= 0 || exit_ != kRunning) return;
        int status = 0;
        if (::waitpid(pid_, &status, flags) == pid_)
            exit_ = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }
    pid_t pid_ = -1;
    int exit_ = kRunning;
};

inline std::string ReadText(const std::string& path) {
    std::ifstream in(path);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

inline std::vector<std::string> SplitLines(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return lines;
}

inline std::vector<std::string> SplitWords(const std::string& line, char sep = ' ') {
    std::vector<std::string> words;
    std::istringstream in(line);
    for (std::string word; std::getline(in, word, sep);) words.push_back(word);
    return words;
}

// Free loopback ports, distinct: each is held until all are picked (one by one, the
// system may hand out a port it just handed out), then closed again.
inline std::vector<int> FreePorts(std::size_t count) {
    std::vector<UniqueFd> held;
    std::vector<int> ports;
    while (ports.size() < count) {
        held.emplace_back(::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0));
        sockaddr_in a{};
        a.sin_family = AF_INET;
        a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t len = sizeof a;
        ::bind(held.back().get(), reinterpret_cast<sockaddr*>(&a), sizeof a);
        ::getsockname(held.back().get(), reinterpret_cast<sockaddr*>(&a), &len);
        ports.push_back(ntohs(a.sin_port));
    }
    return ports;
}

// A port on 127.0.0.1 nothing listens on: bound to find it free, closed again.
inline int FreePort() {
    return FreePorts(1).front();
}

// recorder-sim serving `count` recorders on consecutive free ports.
class SimulatorProcess {
  public:
    SimulatorProcess(const std::string& dir, int count, const std::string& script = "",
                     const std::vector<std::string>& more = {})
        : out_(dir + "/sim.out"), process_(Args(count, script, more), out_, dir + "/sim.err") {
        const auto giveUp = std::chrono::steady_clock::now() + std::chrono::seconds(10);
        while (std::chrono::steady_clock::now() < giveUp) {
            const auto lines = SplitLines(ReadText(out_));
            if (static_cast<int>(lines.size()) >= count) {
                const auto colon = lines[0].rfind(':');
                firstPort_ = std::stoi(lines[0].substr(colon + 1));
                return;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
    }
    int port(int i = 0) const { return firstPort_ + i; }
    std::string target(int i = 0) const { return "127.0.0.1:" + std::to_string(port(i)); }
    // Its session lines (after the "listening on" lines).
    std::vector<std::string> sessions() const {
        std::vector<std::string> found;
        for (const auto& line : SplitLines(ReadText(out_)))
            if (!line.starts_with("listening on")) found.push_back(line);
        return found;
    }

  private:
    static std::vector<std::string> Args(int count, const std::string& script,
                                         const std::vector<std::string>& more) {
        std::vector<std::string> a = {RECORDER_SIM_PROGRAM, "--listen", "127.0.0.1:0", "--count",
                                      std::to_string(count)};
        if (!script.empty()) a.insert(a.end(), {"--script", script});
        a.insert(a.end(), more.begin(), more.end());
        return a;
    }
    std::string out_;
    Background process_;
    int firstPort_ = 0;
};

}  // namespace imgdl::test

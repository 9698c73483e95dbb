// recorder-sim: plays a recorder on 127.0.0.1 so that downloads can be tried without a
// unit. One line per session on standard output; SIGINT or SIGTERM ends it.
#include <arpa/inet.h>
#include <sys/stat.h>

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

#include "RecorderSimulator.h"
#include "SessionScript.h"
#include "common/ProgramVersion.h"
#include "session/DownloadProtocol.h"

namespace {

constexpr std::string_view kUsage =
    "usage: recorder-sim [--listen 127.0.0.1:PORT] [--count N] [--script MODES]\n"
    "                    [--save-dir DIR] [--incompatible] [--write-delay MS] [--version]\n"
    "Answers the download protocol like a recorder, on 127.0.0.1 (default port 5000, 0 for\n"
    "any free ports); on another address only inside a network namespace of its own (ip\n"
    "netns exec NS recorder-sim --listen 192.168.0.1:5000), never on a real network.\n"
    "Prints one line per session; --save-dir keeps each payload\n"
    "received as session-N-COMMAND.bin; --incompatible refuses every firmware version;\n"
    "--write-delay waits MS milliseconds between the two acknowledgements of an image.\n"
    "--count N serves N recorders on consecutive ports from PORT (their lines start with\n"
    "127.0.0.1:PORT). --script plays a comma list of behaviours, one per session of each\n"
    "recorder (a connection that sends nothing is none), then ok: ok, incompatible,\n"
    "close-before-ack, close-between-acks, garbage-ack, bad-echo, stall, slow-read,\n"
    "stop-reading, mute (no answer to the command: nothing of the payload is sent).\n";

struct Options {
    std::uint32_t host = 0x7F000001;  // 127.0.0.1
    std::uint16_t port = 5000;
    std::string saveDir;
    bool incompatible = false;
    long writeDelayMs = 0;
    long count = 1;
    std::vector<imgdl::sim::SessionMode> script;
};

constexpr long kMostRecorders = 1000;

bool ParseNumber(std::string_view text, long max, long& out) {
    if (text.empty() || text.size() > 9) return false;
    long value = 0;
    for (char c : text) {
        if (c < '0' || c > '9') return false;
        value = value * 10 + (c - '0');
    }
    if (value > max) return false;
    out = value;
    return true;
}

// True inside a network namespace made with "ip netns add" (it is bound under
// /run/netns): there an address other than loopback reaches only what the namespace's
// maker wired to it, never the machine's own networks.
bool InOwnNetworkNamespace() {
    struct stat self {};
    if (::stat("/proc/self/ns/net", &self) != 0) return false;
    std::error_code ec;
    for (const auto& entry : std::filesystem::directory_iterator("/run/netns", ec)) {
        struct stat made {};
        if (::stat(entry.path().c_str(), &made) == 0 && made.st_ino == self.st_ino &&
            made.st_dev == self.st_dev)
            return true;
    }
    return false;
}

// 127.0.0.1:PORT anywhere; another A.B.C.D:PORT only inside a network namespace of its
// own, so that the simulator is never reachable from a real network.
bool ParseListen(std::string_view text, std::uint32_t& host, std::uint16_t& port) {
    const auto colon = text.rfind(':');
    long value = 0;
    if (colon == std::string_view::npos || !ParseNumber(text.substr(colon + 1), 65535, value))
        return false;
    in_addr address{};
    if (::inet_pton(AF_INET, std::string(text.substr(0, colon)).c_str(), &address) != 1)
        return false;
    host = ntohl(address.s_addr);
    if (host != 0x7F000001 && !InOwnNetworkNamespace()) {
        std::fprintf(stderr,
                     "recorder-sim: only 127.0.0.1 here; another address only inside a network "
                     "namespace of its own (ip netns exec)\n");
        return false;
    }
    port = static_cast<std::uint16_t>(value);
    return true;
}

std::string HostText(std::uint32_t host) {
    return std::to_string(host >> 24) + "." + std::to_string((host >> 16) & 0xFF) + "." +
           std::to_string((host >> 8) & 0xFF) + "." + std::to_string(host & 0xFF);
}

enum class Parsed { Run, Bad, Help, Version };

Parsed ParseArguments(int argc, char** argv, Options& options) {
    for (int i = 1; i < argc; ++i) {
        const std::string_view arg = argv[i];
        const bool hasValue = i + 1 < argc;
        if (arg == "--help" || arg == "-h") return Parsed::Help;
        if (arg == "--version") return Parsed::Version;
        if (arg == "--incompatible") {
            options.incompatible = true;
        } else if (arg == "--listen" && hasValue) {
            if (!ParseListen(argv[++i], options.host, options.port)) return Parsed::Bad;
        } else if (arg == "--count" && hasValue) {
            if (!ParseNumber(argv[++i], kMostRecorders, options.count) || options.count < 1)
                return Parsed::Bad;
        } else if (arg == "--script" && hasValue) {
            auto script = imgdl::sim::ParseScript(argv[++i]);
            if (!script) return Parsed::Bad;
            options.script = std::move(*script);
        } else if (arg == "--save-dir" && hasValue) {
            options.saveDir = argv[++i];
        } else if (arg == "--write-delay" && hasValue) {
            if (!ParseNumber(argv[++i], 24L * 3600 * 1000, options.writeDelayMs))
                return Parsed::Bad;
        } else {
            return Parsed::Bad;
        }
    }
    return Parsed::Run;
}

void Save(const std::string& path, const imgdl::sim::RecordedSession& s) {
    std::ofstream out(path, std::ios::binary);
    out.write(reinterpret_cast<const char*>(s.payload.data()),
              static_cast<std::streamsize>(s.payload.size()));
    if (!out) std::fprintf(stderr, "recorder-sim: cannot write %s\n", path.c_str());
}

using Recorders = std::vector<std::unique_ptr<imgdl::sim::RecorderSimulator>>;

// `count` recorders on consecutive ports from `port`; with port 0, from the first of
// `count` free consecutive ports. Empty when they cannot all listen.
Recorders Listen(std::uint32_t host, std::uint16_t port, long count,
                 const imgdl::sim::RecorderBehaviour& first) {
    const int attempts = port == 0 ? 50 : 1;
    for (int attempt = 0; attempt < attempts; ++attempt) {
        Recorders recorders;
        recorders.push_back(std::make_unique<imgdl::sim::RecorderSimulator>(first, port, host));
        const long base = recorders[0]->port();
        for (long i = 1; i < count && recorders.back()->listening() && base + i <= 65535; ++i)
            recorders.push_back(std::make_unique<imgdl::sim::RecorderSimulator>(
                first, static_cast<std::uint16_t>(base + i), host));
        if (static_cast<long>(recorders.size()) == count && recorders.back()->listening())
            return recorders;
    }
    return {};
}

// Prints (and saves) each session and sets the behaviour of that recorder's next one.
class SessionReporter {
  public:
    SessionReporter(const Options& options, imgdl::sim::RecorderBehaviour base)
        : options_(options), base_(std::move(base)) {}

    imgdl::sim::RecorderBehaviour behaviourOf(std::size_t session) const {
        return imgdl::sim::BehaviourFor(imgdl::sim::ModeOfSession(options_.script, session), base_);
    }

    void watch(imgdl::sim::RecorderSimulator& recorder) {
        const std::string prefix =
            options_.count > 1 ? "127.0.0.1:" + std::to_string(recorder.port()) : "";
        auto sessions = std::make_shared<std::size_t>(0);
        recorder.setSessionCallback([this, &recorder, prefix, sessions](const auto& s) {
            // A connection that sent nothing is a station's probe, not a session: it
            // neither takes a turn of the script nor makes a line.
            if (s.received.empty()) return;
            const std::size_t index = ++*sessions;
            recorder.setBehaviour(behaviourOf(index));
            report(prefix, index, s);
        });
    }

  private:
    void report(const std::string& prefix, std::size_t index,
                const imgdl::sim::RecordedSession& s) {
        std::lock_guard lock(mutex_);
        const std::string line = imgdl::sim::DescribeSession(s);
        std::printf("%s%s%s\n", prefix.c_str(), prefix.empty() ? "" : " ", line.c_str());
        std::fflush(stdout);
        if (options_.saveDir.empty()) return;
        std::string name(imgdl::CommandName(s.command));
        if (name.empty()) name = "unknown";
        const std::string port = prefix.empty() ? "" : prefix.substr(prefix.find(':') + 1) + "-";
        Save(options_.saveDir + "/" + port + "session-" + std::to_string(index) + "-" + name +
                 ".bin",
             s);
    }

    const Options& options_;
    imgdl::sim::RecorderBehaviour base_;
    std::mutex mutex_;
};

}  // namespace

int main(int argc, char** argv) {
    Options options;
    switch (ParseArguments(argc, argv, options)) {
        case Parsed::Run:
            break;
        case Parsed::Help:
            std::fputs(kUsage.data(), stdout);
            return 0;
        case Parsed::Version:
            std::printf("recorder-sim %s\n", imgdl::kProgramVersion);
            return 0;
        case Parsed::Bad:
            std::fputs(kUsage.data(), stderr);
            return 2;
    }
    // The signals are taken by sigwait below, never by a handler on another thread.
    sigset_t stopSignals;
    sigemptyset(&stopSignals);
    sigaddset(&stopSignals, SIGINT);
    sigaddset(&stopSignals, SIGTERM);
    pthread_sigmask(SIG_BLOCK, &stopSignals, nullptr);

    imgdl::sim::RecorderBehaviour base;
    base.incompatible = options.incompatible;
    base.writeDelay = std::chrono::milliseconds(options.writeDelayMs);
    SessionReporter reporter(options, base);
    Recorders recorders =
        Listen(options.host, options.port, options.count, reporter.behaviourOf(0));
    const std::string host = HostText(options.host);
    if (recorders.empty()) {
        std::fprintf(stderr, "recorder-sim: cannot listen on %s:%u (%ld ports)\n", host.c_str(),
                     options.port, options.count);
        return 1;
    }
    for (auto& recorder : recorders) {
        reporter.watch(*recorder);
        std::printf("listening on %s:%u\n", host.c_str(), recorder->port());
    }
    std::fflush(stdout);
    int signal = 0;
    sigwait(&stopSignals, &signal);
    for (auto& recorder : recorders) recorder->stop();
    return 0;
}

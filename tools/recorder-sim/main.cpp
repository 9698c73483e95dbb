// recorder-sim: plays a recorder on 127.0.0.1 so that downloads can be tried without a
// unit. One line per session on standard output; SIGINT or SIGTERM ends it.
#include <csignal>
#include <cstdio>
#include <cstdlib>
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
    "Answers the download protocol like a recorder, on 127.0.0.1 only (default port 5000,\n"
    "0 for any free ports). Prints one line per session; --save-dir keeps each payload\n"
    "received as session-N-COMMAND.bin; --incompatible refuses every firmware version;\n"
    "--write-delay waits MS milliseconds between the two acknowledgements of an image.\n"
    "--count N serves N recorders on consecutive ports from PORT (their lines start with\n"
    "127.0.0.1:PORT). --script plays a comma list of behaviours, one per session of each\n"
    "recorder (a connection that sends nothing is none), then ok: ok, incompatible,\n"
    "close-before-ack, close-between-acks, garbage-ack, bad-echo, stall, slow-read,\n"
    "stop-reading.\n";

struct Options {
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

// Only the loopback address is accepted: the simulator is never reachable from outside.
bool ParseListen(std::string_view text, std::uint16_t& port) {
    constexpr std::string_view kHost = "127.0.0.1:";
    long value = 0;
    if (text.substr(0, kHost.size()) != kHost) return false;
    if (!ParseNumber(text.substr(kHost.size()), 65535, value)) return false;
    port = static_cast<std::uint16_t>(value);
    return true;
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
            if (!ParseListen(argv[++i], options.port)) return Parsed::Bad;
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
Recorders Listen(std::uint16_t port, long count, const imgdl::sim::RecorderBehaviour& first) {
    const int attempts = port == 0 ? 50 : 1;
    for (int attempt = 0; attempt < attempts; ++attempt) {
        Recorders recorders;
        recorders.push_back(std::make_unique<imgdl::sim::RecorderSimulator>(first, port));
        const long base = recorders[0]->port();
        for (long i = 1; i < count && recorders.back()->listening() && base + i <= 65535; ++i)
            recorders.push_back(std::make_unique<imgdl::sim::RecorderSimulator>(
                first, static_cast<std::uint16_t>(base + i)));
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
    Recorders recorders = Listen(options.port, options.count, reporter.behaviourOf(0));
    if (recorders.empty()) {
        std::fprintf(stderr, "recorder-sim: cannot listen on 127.0.0.1:%u (%ld ports)\n",
                     options.port, options.count);
        return 1;
    }
    for (auto& recorder : recorders) {
        reporter.watch(*recorder);
        std::printf("listening on 127.0.0.1:%u\n", recorder->port());
    }
    std::fflush(stdout);
    int signal = 0;
    sigwait(&stopSignals, &signal);
    for (auto& recorder : recorders) recorder->stop();
    return 0;
}

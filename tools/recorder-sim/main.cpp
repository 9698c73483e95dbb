// recorder-sim: plays a recorder on 127.0.0.1 so that downloads can be tried without a
// unit. One line per session on standard output; SIGINT or SIGTERM ends it.
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <string_view>

#include "RecorderSimulator.h"
#include "common/ProgramVersion.h"
#include "download/DownloadProtocol.h"

namespace {

constexpr std::string_view kUsage =
    "usage: recorder-sim [--listen 127.0.0.1:PORT] [--save-dir DIR] [--incompatible]\n"
    "                    [--write-delay MS] [--version]\n"
    "Answers the download protocol like a recorder, on 127.0.0.1 only (default port 5000,\n"
    "0 for any free port). Prints one line per session; --save-dir keeps each payload\n"
    "received as session-N-COMMAND.bin; --incompatible refuses every firmware version;\n"
    "--write-delay waits MS milliseconds between the two acknowledgements of an image.\n";

struct Options {
    std::uint16_t port = 5000;
    std::string saveDir;
    bool incompatible = false;
    long writeDelayMs = 0;
};

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

void Save(const std::string& dir, std::size_t index, const imgdl::sim::RecordedSession& s) {
    std::string name(imgdl::CommandName(s.command));
    if (name.empty()) name = "unknown";
    const std::string path = dir + "/session-" + std::to_string(index) + "-" + name + ".bin";
    std::ofstream out(path, std::ios::binary);
    out.write(reinterpret_cast<const char*>(s.payload.data()),
              static_cast<std::streamsize>(s.payload.size()));
    if (!out) std::fprintf(stderr, "recorder-sim: cannot write %s\n", path.c_str());
}

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

    imgdl::sim::RecorderBehaviour behaviour;
    behaviour.incompatible = options.incompatible;
    behaviour.writeDelay = std::chrono::milliseconds(options.writeDelayMs);
    imgdl::sim::RecorderSimulator recorder(behaviour, options.port);
    if (!recorder.listening()) {
        std::fprintf(stderr, "recorder-sim: cannot listen on 127.0.0.1:%u\n", options.port);
        return 1;
    }
    std::size_t count = 0;
    recorder.setSessionCallback([&](const imgdl::sim::RecordedSession& s) {
        ++count;
        std::printf("%s\n", imgdl::sim::DescribeSession(s).c_str());
        std::fflush(stdout);
        if (!options.saveDir.empty()) Save(options.saveDir, count, s);
    });
    std::printf("listening on 127.0.0.1:%u\n", recorder.port());
    std::fflush(stdout);
    int signal = 0;
    sigwait(&stopSignals, &signal);
    recorder.stop();
    return 0;
}

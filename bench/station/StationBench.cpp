// What a station costs beside the work itself, in one run:
//  - throughput: N ports sending an integrated image each at once (ledger, version check,
//    patched identity and all), against N plain socket loops in one process sending the same
//    bytes to the same receivers (the version check's session, then the image's), rounds
//    interleaved, after a warm-up round;
//  - the CPU time of N empty ports probing for a while;
//  - the time from a unit starting to listen to its port finding it;
//  - the memory a port takes.
// Usage: station_bench [--ports N] [--image-mib M] [--rounds R] [--probe-seconds S]
#include <arpa/inet.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <condition_variable>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <span>
#include <string>
#include <thread>
#include <vector>

#include "RecorderSimulator.h"
#include "TestImage.h"
#include "image/ImageLayout.h"
#include "ledger/Ledger.h"
#include "session/DownloadProtocol.h"
#include "session/DownloadWorker.h"
#include "session/SessionPayloads.h"
#include "session/SocketIo.h"
#include "station/Station.h"

namespace {

using namespace imgdl;
using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

struct Options {
    int ports = 64;
    std::size_t imageMiB = 16;
    int rounds = 3;
    int probeSeconds = 60;
};

double CpuSeconds() {
    rusage usage{};
    ::getrusage(RUSAGE_SELF, &usage);
    const auto seconds = [](const timeval& t) { return t.tv_sec + t.tv_usec / 1e6; };
    return seconds(usage.ru_utime) + seconds(usage.ru_stime);
}

long ResidentKiB() {
    std::ifstream status("/proc/self/status");
    for (std::string line; std::getline(status, line);)
        if (line.starts_with("VmRSS:")) return std::stol(line.substr(6));
    return 0;
}

RecorderAddress Loopback(std::uint16_t port) {
    return RecorderAddress{{127, 0, 0, 1}, port, {}};
}

// Counts the station's events; waits for a number of them.
class Watch final : public station::PortListener {
  public:
    void portChanged(const station::PortEvent& e) override {
        std::unique_lock lock(mutex_);
        note(e);
        done_ += e.state == station::PortState::Done;
        failed_ += e.state == station::PortState::Failed;
        // Only what is waited for wakes the waiter: the bench's own work stays out of the figures.
        const bool awaited = e.state == station::PortState::Found ||
                             e.state == station::PortState::Done ||
                             e.state == station::PortState::Failed;
        lock.unlock();
        if (awaited) changed_.notify_all();
    }
    bool waitEnded(std::size_t n, std::chrono::seconds bound) {
        std::unique_lock lock(mutex_);
        return changed_.wait_for(lock, bound, [&] { return done_ + failed_ >= n; });
    }
    bool waitFound(const std::string& port, std::chrono::seconds bound) {
        std::unique_lock lock(mutex_);
        return changed_.wait_for(lock, bound, [&] {
            const auto it = marks_.find(port);
            return it != marks_.end() && it->second[kFound] != Clock::time_point{};
        });
    }
    Clock::time_point foundAt(const std::string& port) {
        const std::lock_guard lock(mutex_);
        return marks_.at(port)[kFound];
    }
    Clock::time_point lastFound() {
        const std::lock_guard lock(mutex_);
        Clock::time_point last{};
        for (const auto& [port, marks] : marks_) last = std::max(last, marks[kFound]);
        return last;
    }
    // When the first image session started.
    Clock::time_point firstImage() {
        const std::lock_guard lock(mutex_);
        auto first = Clock::time_point::max();
        for (const auto& [port, marks] : marks_)
            if (marks[kImage] != Clock::time_point{}) first = std::min(first, marks[kImage]);
        return first;
    }
    std::size_t failed() {
        const std::lock_guard lock(mutex_);
        return failed_;
    }

    // When the ports reached each step, from the last unit found: first, median, last.
    void printSteps() {
        const std::lock_guard lock(mutex_);
        Clock::time_point zero{};
        for (const auto& [port, marks] : marks_) zero = std::max(zero, marks[kFound]);
        const char* reached[] = {"found",       "numbers",    "version check", "image session",
                                 "first piece", "last piece", "done"};
        for (std::size_t step = 0; step < kMarks; ++step) {
            std::vector<double> at;
            for (const auto& [port, marks] : marks_)
                if (marks[step] != Clock::time_point{})
                    at.push_back(
                        std::chrono::duration<double, std::milli>(marks[step] - zero).count());
            if (at.empty()) continue;
            std::sort(at.begin(), at.end());
            std::printf("  %-14s reached at %6.1f, %6.1f, %6.1f ms\n", reached[step], at.front(),
                        at[at.size() / 2], at.back());
        }
    }

  private:
    // found, numbers, version check, image, first piece, last piece, done
    static constexpr std::size_t kMarks = 7, kFound = 0, kImage = 3;
    void note(const station::PortEvent& e) {
        auto& m = marks_[e.port];
        const auto now = Clock::now();
        const auto mark = [&](std::size_t i) {
            if (m[i] == Clock::time_point{}) m[i] = now;
        };
        if (e.state == station::PortState::Found) m = {}, mark(0);
        if (e.state == station::PortState::Working && !e.mac.empty() && e.stage.empty()) mark(1);
        if (e.stage == "version check") mark(2);
        if (e.stage == "image" && e.percent == 0) mark(3);
        if (e.stage == "image" && e.percent > 0) mark(4);
        if (e.stage == "image" && e.percent == 100) mark(5);
        if (e.state == station::PortState::Done) mark(6);
    }
    std::map<std::string, std::array<Clock::time_point, kMarks>> marks_;
    std::mutex mutex_;
    std::condition_variable changed_;
    std::size_t done_ = 0, failed_ = 0;
};

station::StationConfig Config(const std::string& ledger, const std::string& image,
                              const std::vector<std::uint16_t>& ports) {
    station::StationConfig config;
    config.recipe = units::Recipe::Integrated;
    config.image = image;
    config.ledger = ledger;
    config.retries = 0;
    config.timeouts.closeDelay = 0ms;
    config.ledgerWait = 60s;
    for (std::size_t i = 0; i < ports.size(); ++i)
        config.ports.push_back({"p" + std::to_string(i), Loopback(ports[i])});
    return config;
}

// One plain session: handshake, the bytes in large blocking sends, its answers.
bool PlainSession(std::uint16_t port, std::uint32_t command, std::span<const std::uint8_t> bytes,
                  int answers) {
    UniqueFd fd(::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0));
    if (!fd || ConnectWithin(fd.get(), SocketAddressOf(Loopback(port)), 5s) != 0) return false;
    const auto length = static_cast<std::uint32_t>(bytes.size());
    if (!SendWord(fd.get(), command) || !ReceiveWord(fd.get(), 5s) || !SendWord(fd.get(), length) ||
        ReceiveWord(fd.get(), 5s) != length)
        return false;
    for (std::size_t sent = 0; sent < bytes.size();) {
        const long n = SendOnce(fd.get(), bytes.data() + sent,
                                std::min<std::size_t>(4 << 20, bytes.size() - sent));
        if (n <= 0) return false;
        sent += static_cast<std::size_t>(n);
    }
    for (int i = 0; i < answers; ++i)
        if (ReceiveWord(fd.get(), 60s) != REPLY_ACK) return false;
    return true;
}

// What the station sends a unit, on the wire, without anything around it: the version
// check's session, then the image's.
bool PlainUnit(std::uint16_t port, std::uint32_t version, const std::vector<std::uint8_t>& bytes) {
    const auto versionBytes = EncodeVersionPayload(version);
    return PlainSession(port, CMD_FIRMWARE_VERSION, versionBytes, 1) &&
           PlainSession(port, CMD_INTEGRATED_IMAGE, bytes, 2);
}

double PlainRound(const std::vector<std::uint16_t>& ports, std::uint32_t version,
                  const std::vector<std::uint8_t>& bytes) {
    const auto started = Clock::now();
    std::vector<std::thread> loops;
    std::atomic<int> failed{0};
    for (const auto port : ports)
        loops.emplace_back([&, port] { failed += !PlainUnit(port, version, bytes); });
    for (auto& loop : loops) loop.join();
    if (failed) std::fprintf(stderr, "station_bench: %d plain sessions failed\n", failed.load());
    return std::chrono::duration<double>(Clock::now() - started).count();
}

// Free loopback ports, each known free a moment ago; distinct, for all are held at once
// while they are picked.
std::vector<std::uint16_t> FreePorts(int count) {
    std::vector<std::unique_ptr<sim::RecorderSimulator>> held;
    std::vector<std::uint16_t> ports;
    for (int i = 0; i < count; ++i) {
        held.push_back(std::make_unique<sim::RecorderSimulator>());
        ports.push_back(held.back()->port());
    }
    return ports;
}

// The units plugged into the ports, reading and counting what they receive.
std::vector<std::unique_ptr<sim::RecorderSimulator>> Plug(const std::vector<std::uint16_t>& ports) {
    sim::RecorderBehaviour b;
    b.keepPayload = false;
    std::vector<std::unique_ptr<sim::RecorderSimulator>> units;
    for (const auto port : ports)
        units.push_back(std::make_unique<sim::RecorderSimulator>(b, port));
    return units;
}

struct Times {
    double fromPlug = 0;       // every unit plugged at once, until every one has ended
    double fromLastFound = 0;  // the same, without the probes' part (found within 0.4 s)
    double sending = 0;        // from the first image session's start until every unit ended
    double plain = 0;
};

// One round: the station waits on empty ports (its ledger connections open, its threads
// probing), every unit is plugged at once, and the clock runs until every unit has ended.
// Then the same receivers take the plain loops.
Times Round(const station::StationConfig& config,
            const std::shared_ptr<const units::ImageSnapshot>& image,
            const std::vector<std::uint8_t>& bytes, int round) {
    Watch watch;
    station::StationConfig c = config;
    c.ledger = config.ledger + "." + std::to_string(round);
    ledger::OpenLedger(c.ledger).value()->init("0012AB000000", "0012AB00FFFF", 1);
    std::vector<std::uint16_t> ports;
    for (const auto& p : c.ports) ports.push_back(p.address.port);
    station::Station line(c, image, watch);
    line.start();
    std::this_thread::sleep_for(1s);
    const double cpu0 = CpuSeconds();
    const auto started = Clock::now();
    const auto units = Plug(ports);
    watch.waitEnded(c.ports.size(), 600s);
    const auto ended = Clock::now();
    Times t;
    t.fromPlug = std::chrono::duration<double>(ended - started).count();
    t.fromLastFound = std::chrono::duration<double>(ended - watch.lastFound()).count();
    t.sending = std::chrono::duration<double>(ended - watch.firstImage()).count();
    if (watch.failed()) std::fprintf(stderr, "station_bench: %zu units failed\n", watch.failed());
    std::printf("round %d, when the ports reached each step (first, median, last):\n", round);
    watch.printSteps();
    line.stopLooking();
    line.waitUntilNoneWorking(10s);
    const double cpu1 = CpuSeconds();
    t.plain = PlainRound(ports, image->version, bytes);
    std::printf("  CPU: station %.3f s in %.3f s from plugging, plain loops %.3f s in %.3f s\n",
                cpu1 - cpu0, t.fromPlug, CpuSeconds() - cpu1, t.plain);
    return t;
}

void Throughput(const Options& o, const std::string& dir) {
    testimage::IntegratedOptions io;
    io.application.trailing = o.imageMiB << 20;
    const auto bytes = testimage::BuildIntegratedImage(io);
    const std::string path = dir + "/image.bin";
    testimage::WriteFile(path, bytes);
    const auto snapshot = units::TakeImageSnapshot(path, ImageLayout::Integrated);
    const auto config = Config(dir + "/ledger.sqlite", path, FreePorts(o.ports));
    Times sum;
    // Round 0 warms up: the ports' lock files are created and the image's pages first
    // touched, as at a station's first units of a shift. Shown, not counted.
    for (int round = 0; round <= o.rounds; ++round) {
        const Times t = Round(config, snapshot.image, bytes, round);
        std::printf(
            "round %d%s: station %.0f ms from the last unit found, plain loops %.0f ms "
            "(ratio %.3f)\n",
            round, round == 0 ? " (warm-up, not counted)" : "", 1000 * t.fromLastFound,
            1000 * t.plain, t.plain / t.fromLastFound);
        if (round == 0) continue;
        sum.fromPlug += t.fromPlug;
        sum.fromLastFound += t.fromLastFound;
        sum.sending += t.sending;
        sum.plain += t.plain;
    }
    const double mib = static_cast<double>(o.rounds) * o.ports * bytes.size() / (1 << 20);
    std::printf(
        "throughput: %d ports x %.1f MiB, %d rounds: plain loops %.0f MiB/s; station "
        "%.0f MiB/s from plugging (ratio %.3f), %.0f MiB/s from the last unit found "
        "(ratio %.3f), %.0f MiB/s from the first image session to the last unit ended "
        "(ratio %.3f)\n",
        o.ports, bytes.size() / double(1 << 20), o.rounds, mib / sum.plain, mib / sum.fromPlug,
        sum.plain / sum.fromPlug, mib / sum.fromLastFound, sum.plain / sum.fromLastFound,
        mib / sum.sending, sum.plain / sum.sending);
}

// Empty ports (nothing listens) probed for a while: the station's CPU time.
void ProbeCost(const Options& o, const std::string& dir) {
    std::vector<std::uint16_t> ports;
    for (int i = 0; i < o.ports; ++i) ports.push_back(sim::RecorderSimulator().port());
    auto config = Config(dir + "/probe.sqlite", "", ports);
    config.recipe = units::Recipe::Identity;
    ledger::OpenLedger(config.ledger).value()->init("0012AB000000", "0012AB00FFFF", 1);
    Watch watch;
    const long before = ResidentKiB();
    station::Station line(config, nullptr, watch);
    line.start();
    std::this_thread::sleep_for(1s);
    const long after = ResidentKiB();
    const double cpu = CpuSeconds();
    std::this_thread::sleep_for(std::chrono::seconds(o.probeSeconds));
    const double used = CpuSeconds() - cpu;
    std::printf("probing: %d empty ports for %d s took %.3f s of CPU, %.3f%% of a core\n", o.ports,
                o.probeSeconds, used, 100 * used / o.probeSeconds);
    std::printf(
        "memory: %ld KiB for %d idle ports (a thread each, one ledger connection), "
        "%.0f KiB a port\n",
        after - before, o.ports, double(after - before) / o.ports);

    // A unit plugged into each port in turn: the time until its port found it.
    std::vector<double> latencies;
    for (int i = 0; i < o.ports; ++i) {
        const auto plugged = Clock::now();
        sim::RecorderSimulator unit({}, ports[static_cast<std::size_t>(i)]);
        if (!watch.waitFound("p" + std::to_string(i), 10s)) continue;
        latencies.push_back(std::chrono::duration<double, std::milli>(
                                watch.foundAt("p" + std::to_string(i)) - plugged)
                                .count());
    }
    line.stopLooking();
    std::sort(latencies.begin(), latencies.end());
    if (!latencies.empty())
        std::printf("found: %zu units, median %.0f ms, slowest %.0f ms after they listened\n",
                    latencies.size(), latencies[latencies.size() / 2], latencies.back());
}

}  // namespace

int main(int argc, char** argv) {
    Options o;
    for (int i = 1; i + 1 < argc; i += 2) {
        const std::string name = argv[i];
        const long value = std::atol(argv[i + 1]);
        if (name == "--ports") o.ports = static_cast<int>(value);
        if (name == "--image-mib") o.imageMiB = static_cast<std::size_t>(value);
        if (name == "--rounds") o.rounds = static_cast<int>(value);
        if (name == "--probe-seconds") o.probeSeconds = static_cast<int>(value);
    }
    std::string pattern =
        std::string(getenv("BENCH_DIR") ? getenv("BENCH_DIR") : "/tmp") + "/station-bench-XXXXXX";
    char* folder = pattern.data();
    if (!::mkdtemp(folder)) return 1;
    Throughput(o, folder);
    if (o.probeSeconds > 0) ProbeCost(o, folder);
    std::filesystem::remove_all(folder);
    return 0;
}

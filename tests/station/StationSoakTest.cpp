// A thousand units plugged into eight loopback ports one after another, with sub-second
// timings: every unit gets its own numbers once, and the station's descriptors and memory
// stay flat from the first hundred units to the last.
#include <gtest/gtest.h>

#include <atomic>
#include <condition_variable>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <map>
#include <set>
#include <thread>

#include "RecorderSimulator.h"
#include "ledger/MacRange.h"
#include "station/Station.h"
#include "support/TempDir.h"

namespace imgdl::test {
namespace {

using namespace std::chrono_literals;

std::size_t OpenDescriptors() {
    std::size_t n = 0;
    for ([[maybe_unused]] const auto& entry : std::filesystem::directory_iterator("/proc/self/fd"))
        ++n;
    return n;
}

long ResidentKiB() {
    std::ifstream status("/proc/self/status");
    for (std::string line; std::getline(status, line);)
        if (line.starts_with("VmRSS:")) return std::stol(line.substr(6));
    return 0;
}

// What the station said of each port, for the harness that plugs units into them.
class Events final : public station::PortListener {
  public:
    void portChanged(const station::PortEvent& e) override {
        const std::lock_guard lock(mutex_);
        state_[e.port] = e.state;
        if (e.state == station::PortState::Done) {
            ++done_[e.port];
            macs_.insert(e.mac);
        }
        if (e.state == station::PortState::Failed) ++failed_;
        changed_.notify_all();
    }
    // Waits until `port` is in `state` (having ended `done` units when it is Done).
    bool waitFor(const std::string& port, station::PortState state, std::size_t done = 0) {
        std::unique_lock lock(mutex_);
        return changed_.wait_for(lock, 10s,
                                 [&] { return state_[port] == state && done_[port] >= done; });
    }
    std::size_t distinctMacs() {
        const std::lock_guard lock(mutex_);
        return macs_.size();
    }
    std::size_t failed() {
        const std::lock_guard lock(mutex_);
        return failed_;
    }

  private:
    std::mutex mutex_;
    std::condition_variable changed_;
    std::map<std::string, station::PortState> state_;
    std::map<std::string, std::size_t> done_;
    std::set<std::string> macs_;
    std::size_t failed_ = 0;
};

TEST(StationSoak, AThousandUnitsOnEightPortsLeaveNothingBehind) {
#ifdef __SANITIZE_ADDRESS__
    GTEST_SKIP() << "run in the plain build only: the sanitizer's quarantine grows on purpose";
#endif
    constexpr int kPorts = 8, kUnitsPerPort = 125;
    TempDir dir;
    station::StationConfig config;
    config.recipe = units::Recipe::Identity;
    config.ledger = dir.file("ledger.sqlite");
    config.probeEvery = 20ms;
    config.goneAfter = 40ms;
    config.retries = 0;
    config.timeouts.closeDelay = 0ms;
    std::vector<std::uint16_t> ports;
    for (int i = 0; i < kPorts; ++i) {
        sim::RecorderSimulator free;  // an ephemeral port, known free
        ports.push_back(free.port());
    }
    for (int i = 0; i < kPorts; ++i)
        config.ports.push_back(
            {"p" + std::to_string(i), *ParseRecorderAddress("127.0.0.1:" + std::to_string(ports[i]),
                                                            {kDefaultRecorderPort, true, true})});
    {
        auto ledger = ledger::OpenLedger(config.ledger);
        ASSERT_TRUE(ledger.ok());
        ASSERT_FALSE(ledger.value()->init("0012AB000000", "0012AB000FFF", 1).failed());
    }
    Events events;
    station::Station line(config, nullptr, events);
    ASSERT_FALSE(line.start().failed());

    // Units plugged and pulled on every port at once, `from` to `to` on each.
    std::atomic<int> unitsDone{0};
    const auto plugUnits = [&](int from, int to) {
        std::vector<std::thread> benches;
        for (int i = 0; i < kPorts; ++i)
            benches.emplace_back([&, i] {
                const std::string name = "p" + std::to_string(i);
                for (int unit = from; unit <= to; ++unit) {
                    sim::RecorderSimulator recorder({}, ports[i]);  // plugged in
                    if (!recorder.listening() ||
                        !events.waitFor(name, station::PortState::Done, unit)) {
                        ADD_FAILURE() << name << " unit " << unit << " not done";
                        return;
                    }
                    ++unitsDone;
                    recorder.stop();  // pulled out
                    if (!events.waitFor(name, station::PortState::Waiting)) {
                        ADD_FAILURE() << name << " never saw unit " << unit << " leave";
                        return;
                    }
                }
            });
        for (auto& bench : benches) bench.join();
    };
    // Measured while every port waits with nothing plugged, after ten units and at the end.
    const auto started = std::chrono::steady_clock::now();
    plugUnits(1, 10);
    const std::size_t earlyFds = OpenDescriptors();
    const long earlyKiB = ResidentKiB();
    plugUnits(11, kUnitsPerPort);
    const std::size_t lateFds = OpenDescriptors();
    const long lateKiB = ResidentKiB();
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
    line.stopLooking();
    ASSERT_TRUE(line.waitUntilNoneWorking(10s));

    EXPECT_EQ(unitsDone, kPorts * kUnitsPerPort);
    EXPECT_EQ(events.distinctMacs(), static_cast<std::size_t>(kPorts * kUnitsPerPort));
    EXPECT_EQ(events.failed(), 0u);
    std::cout << kPorts * kUnitsPerPort << " units in " << seconds << " s; descriptors " << earlyFds
              << " after 80 units, " << lateFds << " after 1000; VmRSS " << earlyKiB << " KiB, "
              << lateKiB << " KiB\n";
    EXPECT_LE(lateFds, earlyFds + 2);
    EXPECT_LE(lateKiB, earlyKiB + 4096);
    auto ledger = ledger::OpenLedger(config.ledger);
    const auto status = ledger.value()->status();
    ASSERT_TRUE(status.ok());
    EXPECT_EQ(status.value().done, static_cast<std::uint64_t>(kPorts * kUnitsPerPort));
}

}  // namespace
}  // namespace imgdl::test

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
#include "ledger/LedgerTestSupport.h"
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

// Units plugged and pulled on every port at once, `from` to `to` on each: a recorder
// listens on the port's address until the station says its unit is done, then goes.
void PlugUnits(Events& events, const std::vector<std::uint16_t>& ports, const std::string& prefix,
               int from, int to) {
    std::vector<std::thread> benches;
    for (std::size_t i = 0; i < ports.size(); ++i)
        benches.emplace_back([&, i] {
            const std::string name = prefix + std::to_string(i);
            for (int unit = from; unit <= to; ++unit) {
                sim::RecorderSimulator recorder({}, ports[i]);  // plugged in
                if (!recorder.listening() || !events.waitFor(name, station::PortState::Done,
                                                             static_cast<std::size_t>(unit))) {
                    ADD_FAILURE() << name << " unit " << unit << " not done";
                    return;
                }
                recorder.stop();  // pulled out
                if (!events.waitFor(name, station::PortState::Waiting)) {
                    ADD_FAILURE() << name << " never saw unit " << unit << " leave";
                    return;
                }
            }
        });
    for (auto& bench : benches) bench.join();
}

// A station of `count` loopback ports named PREFIX0.. on free ports, fast timings.
station::StationConfig FastStation(const std::string& ledger, const std::string& prefix, int count,
                                   std::vector<std::uint16_t>& ports) {
    station::StationConfig config;
    config.recipe = units::Recipe::Identity;
    config.ledger = ledger;
    config.probeEvery = 20ms;
    config.goneAfter = 40ms;
    config.retries = 0;
    config.timeouts.closeDelay = 0ms;
    for (int i = 0; i < count; ++i) {
        sim::RecorderSimulator free;  // an ephemeral port, known free
        ports.push_back(free.port());
        config.ports.push_back({prefix + std::to_string(i),
                                *ParseRecorderAddress("127.0.0.1:" + std::to_string(free.port()),
                                                      {kDefaultRecorderPort, true, true})});
    }
    return config;
}

TEST(StationSoak, AThousandUnitsOnEightPortsLeaveNothingBehind) {
#ifdef __SANITIZE_ADDRESS__
    GTEST_SKIP() << "run in the plain build only: the sanitizer's quarantine grows on purpose";
#endif
    constexpr int kPorts = 8, kUnitsPerPort = 125;
    TempDir dir;
    std::vector<std::uint16_t> ports;
    const station::StationConfig config =
        FastStation(dir.file("ledger.sqlite"), "p", kPorts, ports);
    {
        auto ledger = ledger::OpenLedger(config.ledger);
        ASSERT_TRUE(ledger.ok());
        ASSERT_FALSE(ledger.value()->init("0012AB000000", "0012AB000FFF", 1).failed());
    }
    Events events;
    station::Station line(config, nullptr, events);
    ASSERT_FALSE(line.start().failed());

    // Measured while every port waits with nothing plugged, after ten units and at the end.
    const auto started = std::chrono::steady_clock::now();
    PlugUnits(events, ports, "p", 1, 10);
    const std::size_t earlyFds = OpenDescriptors();
    const long earlyKiB = ResidentKiB();
    PlugUnits(events, ports, "p", 11, kUnitsPerPort);
    const std::size_t lateFds = OpenDescriptors();
    const long lateKiB = ResidentKiB();
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
    line.stopLooking();
    ASSERT_TRUE(line.waitUntilNoneWorking(10s));

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

namespace imgdl::test {
namespace {

// Two stations of four ports each on one PostgreSQL ledger: no number twice.
TEST(StationSoak, TwoStationsShareOnePostgresLedger) {
    ScratchLedger scratch(Backend::Postgres);
    if (scratch.location().empty()) GTEST_SKIP() << scratch.skipReason();
    {
        auto ledger = ledger::OpenLedger(scratch.location());
        ASSERT_TRUE(ledger.ok()) << ledger.error().message;
        ASSERT_FALSE(ledger.value()->init("0012AB000000", "0012AB000FFF", 1).failed());
    }
    constexpr int kUnitsPerPort = 25;
    Events events;
    std::vector<std::uint16_t> portsA, portsB;
    station::Station a(FastStation(scratch.location(), "a", 4, portsA), nullptr, events);
    station::Station b(FastStation(scratch.location(), "b", 4, portsB), nullptr, events);
    ASSERT_FALSE(a.start().failed());
    ASSERT_FALSE(b.start().failed());
    std::thread benchA([&] { PlugUnits(events, portsA, "a", 1, kUnitsPerPort); });
    PlugUnits(events, portsB, "b", 1, kUnitsPerPort);
    benchA.join();
    EXPECT_EQ(events.distinctMacs(), 8u * kUnitsPerPort);
    EXPECT_EQ(events.failed(), 0u);
    auto ledger = ledger::OpenLedger(scratch.location());
    const auto units = ledger.value()->list();
    ASSERT_TRUE(units.ok());
    std::set<std::uint64_t> macs;
    std::set<std::uint32_t> serials;
    for (const auto& u : units.value()) {
        EXPECT_EQ(u.result, ledger::UnitResult::Done);
        macs.insert(u.mac);
        serials.insert(u.serial);
    }
    EXPECT_EQ(macs.size(), 8u * kUnitsPerPort);
    EXPECT_EQ(serials.size(), 8u * kUnitsPerPort);
}

}  // namespace
}  // namespace imgdl::test

// The station on a real small network: two ports on one station reach two units at the
// same factory address and Ethernet address, each through its own interface; a unit that
// restarts with the identity it was given is already provisioned; a fresh one in its place
// gets the next numbers.
#include <gmock/gmock.h>

#include <thread>

#include "Background.h"
#include "CliTestSupport.h"
#include "JsonTestSupport.h"
#include "support/NetBench.h"

namespace imgdl::test {
namespace {

using namespace std::chrono_literals;
using nlohmann::json;

class NetBenchTest : public CliTest {
  protected:
    std::string ledger() { return file("ledger.sqlite"); }
    std::unique_ptr<Background> plug(const NetBench& bench, int unit, const std::string& name) {
        return std::make_unique<Background>(
            bench.inUnitArgv(unit, {RECORDER_SIM_PROGRAM, "--listen", "192.168.0.1:5000"}),
            file(name + ".out"), file(name + ".err"));
    }
    std::vector<json> events() {
        std::vector<json> found;
        for (const auto& line : SplitLines(ReadText(file("station.out"))))
            found.push_back(json::parse(line));
        return found;
    }
    std::size_t count(const std::string& port, const std::string& state) {
        std::size_t n = 0;
        for (const auto& e : events()) n += e["port"] == port && e["state"] == state;
        return n;
    }
    // The event of `port` in `state` that follows the `skip` such events already seen.
    std::optional<json> waitFor(const std::string& port, const std::string& state,
                                std::size_t skip = 0) {
        const auto giveUp = std::chrono::steady_clock::now() + 20s;
        while (std::chrono::steady_clock::now() < giveUp) {
            std::size_t seen = 0;
            for (const auto& e : events())
                if (e["port"] == port && e["state"] == state && seen++ == skip) return e;
            std::this_thread::sleep_for(50ms);
        }
        return std::nullopt;
    }
};

TEST_F(NetBenchTest, ARestartedUnitIsAlreadyProvisionedAndAFreshOneIsNot) {
    NetBench bench(2);
    if (!bench.skipReason().empty()) GTEST_SKIP() << bench.skipReason();
    ASSERT_EQ(imgdl("ledger init --ledger " + ledger() +
                    " --mac-first 0012AB000000 --mac-last 0012AB0000FF --serial-first 1")
                  .exit,
              0);
    auto unit0 = plug(bench, 0, "unit0");
    auto unit1 = plug(bench, 1, "unit1");
    Background station(
        bench.inStationArgv({IMGDL_PROGRAM, "station", "--recipe", "identity", "--json", "--ledger",
                             ledger(), "--gone-after", "0.5", "--port", "p0=192.168.0.1%vs0",
                             "--port", "p1=192.168.0.1%vs1"}),
        file("station.out"), file("station.err"));
    const auto first0 = waitFor("p0", "done"), first1 = waitFor("p1", "done");
    ASSERT_TRUE(first0 && first1) << ReadText(file("station.err"));
    EXPECT_NE((*first0)["mac"], (*first1)["mac"]);

    // Unit 0 restarts as the unit it now is: its Ethernet address is the MAC it received.
    const std::size_t waits = count("p0", "waiting");
    unit0.reset();
    const std::string given = (*first0)["mac"];
    std::string colons;
    for (std::size_t i = 0; i < given.size(); i += 2) colons += (i ? ":" : "") + given.substr(i, 2);
    ASSERT_TRUE(bench.setEthernet(0, colons));
    ASSERT_TRUE(waitFor("p0", "waiting", waits));  // gone
    unit0 = plug(bench, 0, "restarted");
    const auto again = waitFor("p0", "already-provisioned");
    if (!again) {
        std::system((bench.inStation("ip neigh") + " >&2").c_str());
        std::system((bench.inStation("ip link") + " >&2").c_str());
        std::system((bench.inUnit(0, "ip addr") + " >&2").c_str());
        std::system((bench.inUnit(0, "ss -ltn") + " >&2").c_str());
    }
    ASSERT_TRUE(again) << ReadText(file("station.out")) << ReadText(file("restarted.err"))
                       << ReadText(file("restarted.out"));
    EXPECT_EQ((*again)["mac"], given);
    EXPECT_EQ((*again)["serial"], (*first0)["serial"]);
    std::this_thread::sleep_for(500ms);
    EXPECT_EQ(ReadText(file("restarted.out")).find("CMD_MAC_AND_SERIAL"), std::string::npos);

    // A fresh unit takes its place, with the same factory Ethernet address as all of them.
    const std::size_t waitsAgain = count("p0", "waiting");
    unit0.reset();
    ASSERT_TRUE(bench.setEthernet(0, "02:00:00:00:00:01"));
    ASSERT_TRUE(waitFor("p0", "waiting", waitsAgain));
    unit0 = plug(bench, 0, "fresh");
    const auto fresh = waitFor("p0", "done", 1);
    ASSERT_TRUE(fresh) << ReadText(file("station.out"));
    EXPECT_NE((*fresh)["mac"], (*first0)["mac"]);
    EXPECT_NE((*fresh)["mac"], (*first1)["mac"]);
    ::kill(station.pid(), SIGINT);
    EXPECT_EQ(station.wait(20s), 0) << ReadText(file("station.err"));

    // What each recorder received is what the ledger says of it.
    const auto rows = SplitLines(imgdl("ledger list --csv --ledger " + ledger()).out);
    ASSERT_EQ(rows.size(), 4u);
    for (const auto& [name, event] :
         {std::pair{"unit0", *first0}, std::pair{"unit1", *first1}, std::pair{"fresh", *fresh}}) {
        const std::string line = ReadText(file(std::string(name) + ".out"));
        EXPECT_THAT(line, testing::HasSubstr("mac=" + event["mac"].get<std::string>() + " serial=" +
                                             std::to_string(event["serial"].get<int>())))
            << name;
    }
    for (std::size_t i = 1; i < rows.size(); ++i) EXPECT_EQ(SplitWords(rows[i], ',')[3], "done");
}

}  // namespace
}  // namespace imgdl::test

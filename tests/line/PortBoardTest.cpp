// The port model under the cards: how a port's view moves with the engine's events,
// which actions a person may take in each state, and the shift's figures.
#include <gtest/gtest.h>

#include "common/UtcTime.h"
#include "line/PortBoard.h"
#include "line/ShiftTally.h"

namespace imgdl::test {
namespace {

using line::Clock;
using line::PortBoard;
using station::PortState;
using namespace std::chrono_literals;

station::PortEvent Event(PortState state, std::string mac = {},
                         std::optional<std::uint32_t> serial = {}) {
    station::PortEvent e = station::FreshEvent("p1", state);
    e.mac = std::move(mac);
    e.serial = serial;
    return e;
}

TEST(PortBoard, ActionsApplyOnlyInTheirStates) {
    const struct {
        PortState state;
        bool cancel, retry, disable, reprint;
    } cases[] = {
        {PortState::Waiting, false, false, true, false},
        {PortState::Found, true, false, true, false},
        {PortState::Working, true, false, true, false},
        {PortState::Done, false, false, true, true},
        {PortState::Failed, false, true, true, false},
        {PortState::AlreadyProvisioned, false, false, true, false},
        {PortState::Disabled, false, false, true, false},
    };
    for (const auto& c : cases) {
        PortBoard board({"p1"});
        board.apply(Event(c.state, "0012AB000001", 2), Clock::now());
        const auto& view = board.port(0);
        const auto name = station::PortStateName(c.state);
        EXPECT_EQ(view.canCancel(), c.cancel) << name;
        EXPECT_EQ(view.canRetry(), c.retry) << name;
        EXPECT_EQ(view.canDisable(), c.disable) << name;
        EXPECT_EQ(view.canReprint(), c.reprint) << name;
    }
    // Done without numbers (a unit without identity) has nothing to put on a label.
    PortBoard board({"p1"});
    board.apply(Event(PortState::Done), Clock::now());
    EXPECT_FALSE(board.port(0).canReprint());
}

TEST(PortBoard, AUnitEndsOnceAndItsTimeRunsFromFoundToEnd) {
    PortBoard board({"p0", "p1"});
    const auto t0 = Clock::now();
    const struct {
        PortState state;
        std::chrono::seconds at;
        bool ended;
        std::chrono::seconds elapsed;  // seen 100 s after the start
    } steps[] = {
        {PortState::Waiting, 0s, false, 0s},
        {PortState::Found, 10s, false, 90s},
        {PortState::Working, 11s, false, 90s},  // the time runs from found, not working
        {PortState::Working, 12s, false, 90s},  // progress: the same unit
        {PortState::Done, 40s, true, 30s},
        {PortState::Done, 41s, false, 30s},  // told again: not a second unit
        {PortState::Waiting, 50s, false, 0s},
        {PortState::Working, 60s, false, 40s},
        {PortState::Failed, 70s, true, 10s},
        {PortState::Waiting, 80s, false, 0s},
        {PortState::Found, 90s, false, 10s},
        {PortState::AlreadyProvisioned, 95s, false, 5s},
    };
    for (const auto& s : steps) {
        const auto change = board.apply(Event(s.state), t0 + s.at);
        ASSERT_TRUE(change);
        EXPECT_EQ(change->index, 1u);
        EXPECT_EQ(change->unitEnded, s.ended) << s.at.count();
        EXPECT_EQ(board.port(1).elapsed(t0 + 100s), s.elapsed) << s.at.count();
    }
    EXPECT_EQ(board.port(0).state, PortState::Waiting);  // the other port is left alone
    auto stranger = Event(PortState::Done);
    stranger.port = "p9";
    EXPECT_FALSE(board.apply(stranger, t0));
}

TEST(PortBoard, ElapsedReadsAsAClock) {
    const struct {
        long long seconds;
        const char* text;
    } cases[] = {{0, "0:00"}, {7, "0:07"}, {754, "12:34"}, {3723, "1:02:03"}, {-5, "0:00"}};
    for (const auto& c : cases)
        EXPECT_EQ(line::FormatElapsed(std::chrono::seconds(c.seconds)), c.text) << c.seconds;
}

// A unit row of this station that ended at `when`.
ledger::UnitRecord Ended(bool done, line::WallClock::time_point when,
                         const std::string& station = "bench") {
    ledger::UnitRecord row;
    static std::uint64_t mac = 0x0012AB000000;
    row.mac = mac++;
    row.result = done ? ledger::UnitResult::Done : ledger::UnitResult::Failed;
    row.started = UtcText(when - 10s);
    row.ended = UtcText(when);
    row.station = station;
    return row;
}

TEST(ShiftTally, TheReportsFiguresOfThisStationSinceTheShiftStarted) {
    // At a whole local hour plus 30 minutes, whatever the zone (whole-hour zones).
    const line::WallClock::time_point start =
        std::chrono::floor<std::chrono::hours>(line::WallClock::now()) + 30min;
    line::ShiftTally tally(start, "bench");
    EXPECT_EQ(tally.since(), UtcText(start));
    tally.setRows({Ended(true, start - 5min),  // before the shift
                   Ended(true, start + 5min), Ended(true, start + 20min),
                   Ended(false, start + 25min), Ended(true, start + 26min, "other bench"),
                   Ended(true, start + 40min)});  // the next clock hour
    const auto f = tally.figures(start + 2h);
    EXPECT_EQ(f.done, 3u);
    EXPECT_EQ(f.failures, 1u);
    EXPECT_NEAR(f.unitsPerHour, 1.5, 0.001);
    ASSERT_EQ(f.hours.size(), 3u);  // the start's hour, the next, and the one now is in
    EXPECT_EQ(f.hours[0].done, 2u);
    EXPECT_EQ(f.hours[0].failures, 1u);
    EXPECT_EQ(f.hours[1].done, 1u);
    EXPECT_EQ(f.hours[2].done, 0u);
    EXPECT_EQ(f.hours[0].label.size(), 5u);
    EXPECT_TRUE(f.hours[0].label.ends_with(":00")) << f.hours[0].label;
    EXPECT_NE(f.hours[0].label, f.hours[1].label);

    // Within the first hour: the units so far, not minutes stretched to an hour.
    line::ShiftTally early(start, "bench");
    early.setRows({Ended(true, start + 1min), Ended(true, start + 2min)});
    EXPECT_DOUBLE_EQ(early.figures(start + 10min).unitsPerHour, 2);

    const auto empty = line::ShiftTally(start, "bench").figures(start);
    EXPECT_EQ(empty.done, 0u);
    EXPECT_EQ(empty.unitsPerHour, 0);
    EXPECT_EQ(empty.hours.size(), 1u);
}

}  // namespace
}  // namespace imgdl::test

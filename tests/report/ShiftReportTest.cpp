// The report's figures against a hand count of hand-made rows: each case says what a
// supervisor counting the rows on paper would get.
#include <gmock/gmock.h>

#include <vector>

#include "ReportTestSupport.h"
#include "report/ShiftReport.h"

namespace imgdl::report {
namespace {

using ledger::UnitResult;
using test::HandRow;
using test::Row;
using test::TimeZone;
using testing::ElementsAre;

constexpr auto kDone = UnitResult::Done;
constexpr auto kFailed = UnitResult::Failed;
constexpr auto kUncertain = UnitResult::Uncertain;
constexpr auto kVoid = UnitResult::Void;
constexpr auto kReleased = UnitResult::Released;
constexpr auto kAllocated = UnitResult::Allocated;

struct Expected {
    std::uint64_t done = 0, uncertain = 0, voided = 0, released = 0, failures = 0;
    std::map<std::string, std::uint64_t> causes = {};
    std::optional<double> median = std::nullopt;
    std::optional<std::int64_t> slowest = std::nullopt;
    double perHour = 0;
};

void ExpectFigures(const ShiftFigures& f, const Expected& e) {
    EXPECT_EQ(f.done, e.done);
    EXPECT_EQ(f.uncertain, e.uncertain);
    EXPECT_EQ(f.voided, e.voided);
    EXPECT_EQ(f.released, e.released);
    EXPECT_EQ(f.failures, e.failures);
    EXPECT_EQ(f.failuresByCause, e.causes);
    EXPECT_EQ(f.medianSeconds, e.median);
    EXPECT_EQ(f.slowestSeconds, e.slowest);
    EXPECT_DOUBLE_EQ(f.unitsPerHour, e.perHour);
}

ShiftReport Build(const std::vector<HandRow>& handRows, const char* since, const char* until,
                  std::string_view station = {}) {
    std::vector<ledger::UnitRecord> rows;
    for (const HandRow& s : handRows) rows.push_back(Row(s));
    return BuildShiftReport(rows, *ParseIsoTime(since), *ParseIsoTime(until), station);
}

struct FigureCase {
    const char* name;
    const char* zone;
    const char* since;
    const char* until;
    std::vector<HandRow> rows;
    Expected expected;
    std::size_t hours;
};

constexpr std::uint64_t A = 0x0012AB000001, B = 0x0012AB000002, C = 0x0012AB000003,
                        D = 0x0012AB000004, E = 0x0012AB000005;

const FigureCase kFigureCases[] = {
    {"an empty shift", "UTC", "2026-12-10T06:00:00Z", "2026-12-10T18:00:00Z", {}, {}, 12},
    {"one unit",
     "UTC",
     "2026-12-10T06:00:00Z",
     "2026-12-10T18:00:00Z",
     {{A, kDone, "2026-12-10T07:00:00Z", "2026-12-10T07:01:30Z"}},
     {.done = 1, .median = 90, .slowest = 90, .perHour = 1.0 / 12},
     12},
    {"a shift over midnight: the window's ends are its own, the first one in",
     "Europe/Berlin",
     "2026-12-10T22:00:00+01:00",
     "2026-12-11T06:00:00+01:00",
     {{A, kDone, "2026-12-10T20:59:00Z", "2026-12-10T20:59:59Z"},
      {B, kDone, "2026-12-10T21:00:00Z", "2026-12-10T21:01:00Z"},
      {C, kDone, "2026-12-10T23:10:00Z", "2026-12-10T23:12:00Z"},
      {D, kDone, "2026-12-11T04:59:29Z", "2026-12-11T04:59:59Z"},
      {E, kDone, "2026-12-11T04:59:30Z", "2026-12-11T05:00:00Z"}},
     {.done = 3, .median = 60, .slowest = 120, .perHour = 3.0 / 8},
     8},
    {"the day the clocks go forward has 23 hours",
     "Europe/Berlin",
     "2026-03-29T00:00:00+01:00",
     "2026-03-30T00:00:00+02:00",
     {{A, kDone, "2026-03-29T00:29:00Z", "2026-03-29T00:30:00Z"},
      {B, kDone, "2026-03-29T01:29:00Z", "2026-03-29T01:30:00Z"}},
     {.done = 2, .median = 60, .slowest = 60, .perHour = 2.0 / 23},
     23},
    {"the day the clocks go back has 25 hours",
     "Europe/Berlin",
     "2026-10-25T00:00:00+02:00",
     "2026-10-26T00:00:00+01:00",
     {{A, kDone, "2026-10-25T00:29:00Z", "2026-10-25T00:30:00Z"},
      {B, kDone, "2026-10-25T01:29:00Z", "2026-10-25T01:30:00Z"},
      {C, kFailed, "2026-10-25T01:39:00Z", "2026-10-25T01:40:00Z", "connect"}},
     {.done = 2,
      .failures = 1,
      .causes = {{"connect", 1}},
      .median = 60,
      .slowest = 60,
      .perHour = 2.0 / 25},
     25},
    {"released then done: one unit, one attempt",
     "UTC",
     "2026-12-10T06:00:00Z",
     "2026-12-10T18:00:00Z",
     {{A, kReleased, "2026-12-10T07:00:00Z", "2026-12-10T07:00:05Z", "connect"},
      {A, kDone, "2026-12-10T07:01:00Z", "2026-12-10T07:02:00Z"}},
     {.done = 1, .released = 1, .median = 60, .slowest = 60, .perHour = 1.0 / 12},
     12},
    {"failed then done: one unit done, the failure still counted",
     "UTC",
     "2026-12-10T06:00:00Z",
     "2026-12-10T07:00:00Z",
     {{A, kFailed, "2026-12-10T06:10:00Z", "2026-12-10T06:11:00Z", "write"},
      {A, kDone, "2026-12-10T06:20:00Z", "2026-12-10T06:20:40Z"}},
     {.done = 1,
      .failures = 1,
      .causes = {{"write", 1}},
      .median = 40,
      .slowest = 40,
      .perHour = 1},
     1},
    {"a MAC with two done rows (ledgers merged by hand) is one unit, timed by its newest",
     "UTC",
     "2026-12-10T06:00:00Z",
     "2026-12-10T07:00:00Z",
     {{A, kDone, "2026-12-10T06:10:00Z", "2026-12-10T06:11:00Z"},
      {A, kDone, "2026-12-10T06:30:00Z", "2026-12-10T06:30:30Z"}},
     {.done = 1, .median = 30, .slowest = 30, .perHour = 1},
     1},
    {"released in the window, done after it: no unit yet, one attempt",
     "UTC",
     "2026-12-10T06:00:00Z",
     "2026-12-10T07:00:00Z",
     {{A, kReleased, "2026-12-10T06:50:00Z", "2026-12-10T06:50:05Z"},
      {A, kDone, "2026-12-10T07:00:00Z", "2026-12-10T07:01:00Z"}},
     {.released = 1},
     1},
    {"the median of an even count is the mean of the middle two",
     "UTC",
     "2026-12-10T06:00:00Z",
     "2026-12-10T08:00:00Z",
     {{A, kDone, "2026-12-10T06:00:00Z", "2026-12-10T06:01:40Z"},
      {B, kDone, "2026-12-10T06:10:00Z", "2026-12-10T06:10:10Z"},
      {C, kDone, "2026-12-10T06:20:00Z", "2026-12-10T06:20:40Z"},
      {D, kDone, "2026-12-10T06:30:00Z", "2026-12-10T06:30:25Z"}},
     {.done = 4, .median = 32.5, .slowest = 100, .perHour = 2},
     2},
    {"the median of an odd count is the middle one",
     "UTC",
     "2026-12-10T06:00:00Z",
     "2026-12-10T08:00:00Z",
     {{A, kDone, "2026-12-10T06:00:00Z", "2026-12-10T06:00:50Z"},
      {B, kDone, "2026-12-10T06:10:00Z", "2026-12-10T06:10:10Z"},
      {C, kDone, "2026-12-10T06:20:00Z", "2026-12-10T06:20:20Z"}},
     {.done = 3, .median = 20, .slowest = 50, .perHour = 1.5},
     2},
    {"a station's unit is timed from when it was found",
     "UTC",
     "2026-12-10T06:00:00Z",
     "2026-12-10T07:00:00Z",
     {{.mac = A,
       .result = kDone,
       .started = "2026-12-10T06:10:30Z",
       .ended = "2026-12-10T06:11:00Z",
       .port = "p1",
       .found = "2026-12-10T06:10:00Z"}},
     {.done = 1, .median = 60, .slowest = 60, .perHour = 1},
     1},
    {"failures by cause: failed, uncertain and void rows; no cause is unknown",
     "UTC",
     "2026-12-10T06:00:00Z",
     "2026-12-10T07:00:00Z",
     {{A, kFailed, "2026-12-10T06:01:00Z", "2026-12-10T06:02:00Z", "connect"},
      {B, kFailed, "2026-12-10T06:03:00Z", "2026-12-10T06:04:00Z", "connect"},
      {C, kUncertain, "2026-12-10T06:05:00Z", "", "write"},
      {D, kVoid, "2026-12-10T06:06:00Z", "2026-12-10T06:30:00Z", ""},
      {E, kReleased, "2026-12-10T06:07:00Z", "2026-12-10T06:07:01Z", "handshake"}},
     {.uncertain = 1,
      .voided = 1,
      .released = 1,
      .failures = 4,
      .causes = {{"connect", 2}, {"write", 1}, {"unknown", 1}}},
     1},
    {"a unit still allocated counts nowhere; rows that do not read are left out",
     "UTC",
     "2026-12-10T06:00:00Z",
     "2026-12-10T07:00:00Z",
     {{A, kAllocated, "2026-12-10T06:01:00Z", ""},
      {B, kDone, "garbage", "2026-12-10T06:02:00Z"},
      {C, kDone, "2026-12-10T06:01:00Z", "2026-12-10 06:02:00"}},
     {},
     1},
};

TEST(ShiftReport, FiguresMatchAHandCount) {
    for (const FigureCase& c : kFigureCases) {
        SCOPED_TRACE(c.name);
        const TimeZone zone(c.zone);
        const ShiftReport r = Build(c.rows, c.since, c.until);
        ExpectFigures(r.total, c.expected);
        EXPECT_EQ(r.hours.size(), c.hours);
        std::uint64_t done = 0, failures = 0;
        for (const HourCount& h : r.hours) {
            done += h.done;
            failures += h.failures;
        }
        EXPECT_EQ(done, c.expected.done);
        EXPECT_EQ(failures, c.expected.failures);
    }
}

std::vector<std::string> Labels(const ShiftReport& r) {
    std::vector<std::string> labels;
    for (const HourCount& h : r.hours) labels.push_back(h.label);
    return labels;
}

// Units done and failures of each hour.
using HourCounts = std::vector<std::pair<std::uint64_t, std::uint64_t>>;

HourCounts Counts(const ShiftReport& r) {
    HourCounts counts;
    for (const HourCount& h : r.hours) counts.emplace_back(h.done, h.failures);
    return counts;
}

TEST(ShiftReport, TheHourTheClocksGoBackIsTwoBucketsWithTwoOffsets) {
    const TimeZone berlin("Europe/Berlin");
    const ShiftReport r = Build({{A, kDone, "2026-10-25T00:29:00Z", "2026-10-25T00:30:00Z"},
                                 {B, kDone, "2026-10-25T01:29:00Z", "2026-10-25T01:30:00Z"},
                                 {C, kFailed, "2026-10-25T01:39:00Z", "2026-10-25T01:40:00Z"}},
                                "2026-10-25T01:00:00+02:00", "2026-10-25T04:00:00+01:00");
    EXPECT_THAT(Labels(r), ElementsAre("2026-10-25T01:00:00+02:00", "2026-10-25T02:00:00+02:00",
                                       "2026-10-25T02:00:00+01:00", "2026-10-25T03:00:00+01:00"));
    EXPECT_EQ(Counts(r), (HourCounts{{0, 0}, {1, 0}, {1, 1}, {0, 0}}));
}

TEST(ShiftReport, TheHourTheClocksGoForwardIsNeverShown) {
    const TimeZone berlin("Europe/Berlin");
    const ShiftReport r = Build({{A, kDone, "2026-03-29T00:29:00Z", "2026-03-29T00:30:00Z"},
                                 {B, kDone, "2026-03-29T01:29:00Z", "2026-03-29T01:30:00Z"}},
                                "2026-03-29T00:00:00+01:00", "2026-03-29T05:00:00+02:00");
    EXPECT_THAT(Labels(r), ElementsAre("2026-03-29T00:00:00+01:00", "2026-03-29T01:00:00+01:00",
                                       "2026-03-29T03:00:00+02:00", "2026-03-29T04:00:00+02:00"));
    EXPECT_EQ(Counts(r), (HourCounts{{0, 0}, {1, 0}, {1, 0}, {0, 0}}));
}

TEST(ShiftReport, HoursStartOnTheLocalHourBeforeTheWindowAndCountOnlyItsRows) {
    const TimeZone kolkata("Asia/Kolkata");
    // 12:00+05:30 is 06:30Z: the local hours start at half past the UTC hour. A ends at
    // 12:10, in the first hour but before the window; B at 12:30; C at the window's end.
    const ShiftReport r = Build({{A, kDone, "2026-12-10T06:39:00Z", "2026-12-10T06:40:00Z"},
                                 {B, kDone, "2026-12-10T06:59:00Z", "2026-12-10T07:00:00Z"},
                                 {C, kDone, "2026-12-10T08:14:00Z", "2026-12-10T08:15:00Z"}},
                                "2026-12-10T12:15:00+05:30", "2026-12-10T13:45:00+05:30");
    EXPECT_THAT(Labels(r), ElementsAre("2026-12-10T12:00:00+05:30", "2026-12-10T13:00:00+05:30"));
    EXPECT_EQ(Counts(r), (HourCounts{{1, 0}, {0, 0}}));
    EXPECT_DOUBLE_EQ(r.total.unitsPerHour, 1 / 1.5);
}

const std::vector<HandRow> kTwoStations = {
    {A, kDone, "2026-12-10T06:00:00Z", "2026-12-10T06:00:30Z", "", "s1", "p1"},
    {B, kDone, "2026-12-10T06:10:00Z", "2026-12-10T06:10:50Z", "", "s1", "p1"},
    {C, kFailed, "2026-12-10T06:20:00Z", "2026-12-10T06:20:05Z", "connect", "s1", "p2"},
    {C, kDone, "2026-12-10T06:21:00Z", "2026-12-10T06:22:00Z", "", "s1", "p2"},
    {D, kDone, "2026-12-10T06:30:00Z", "2026-12-10T06:32:00Z", "", "s2"},
    {E, kUncertain, "2026-12-10T06:40:00Z", "", "write", "s2"},
};

TEST(ShiftReport, SplitsByStationAndByTheStationsPorts) {
    const TimeZone utc("UTC");
    const ShiftReport r = Build(kTwoStations, "2026-12-10T06:00:00Z", "2026-12-10T08:00:00Z");
    ExpectFigures(r.total, {.done = 4,
                            .uncertain = 1,
                            .failures = 2,
                            .causes = {{"connect", 1}, {"write", 1}},
                            .median = 55,
                            .slowest = 120,
                            .perHour = 2});
    ASSERT_EQ(r.stations.size(), 2u);
    EXPECT_EQ(r.stations[0].station, "s1");
    ExpectFigures(r.stations[0].figures, {.done = 3,
                                          .failures = 1,
                                          .causes = {{"connect", 1}},
                                          .median = 50,
                                          .slowest = 60,
                                          .perHour = 1.5});
    EXPECT_EQ(r.stations[1].station, "s2");
    ExpectFigures(r.stations[1].figures, {.done = 1,
                                          .uncertain = 1,
                                          .failures = 1,
                                          .causes = {{"write", 1}},
                                          .median = 120,
                                          .slowest = 120,
                                          .perHour = 0.5});
    // s2's rows were made without a port: no port of s2 is listed.
    ASSERT_EQ(r.ports.size(), 2u);
    EXPECT_EQ(r.ports[0].station + "/" + r.ports[0].port, "s1/p1");
    ExpectFigures(r.ports[0].figures, {.done = 2, .median = 40, .slowest = 50, .perHour = 1});
    EXPECT_EQ(r.ports[1].station + "/" + r.ports[1].port, "s1/p2");
    ExpectFigures(r.ports[1].figures, {.done = 1,
                                       .failures = 1,
                                       .causes = {{"connect", 1}},
                                       .median = 60,
                                       .slowest = 60,
                                       .perHour = 0.5});
}

TEST(ShiftReport, OneStationCountsOnlyItsRows) {
    const TimeZone utc("UTC");
    const ShiftReport r = Build(kTwoStations, "2026-12-10T06:00:00Z", "2026-12-10T08:00:00Z", "s2");
    EXPECT_EQ(r.station, "s2");
    ExpectFigures(r.total, {.done = 1,
                            .uncertain = 1,
                            .failures = 1,
                            .causes = {{"write", 1}},
                            .median = 120,
                            .slowest = 120,
                            .perHour = 0.5});
    ASSERT_EQ(r.stations.size(), 1u);
    EXPECT_EQ(r.stations[0].station, "s2");
    EXPECT_TRUE(r.ports.empty());
}

}  // namespace
}  // namespace imgdl::report

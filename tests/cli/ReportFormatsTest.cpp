// The report's JSON and CSV put each port under its own station and each figure in its
// own column, whatever order the stations' rows came in.
#include <gmock/gmock.h>

#include <cstdlib>

#include "../report/ReportTestSupport.h"
#include "ReportFormats.h"
#include "report/ShiftReport.h"

namespace imgdl::cli {
namespace {

using ledger::UnitResult;
using nlohmann::json;
using test::HandRow;
using test::Row;

report::ShiftReport TwoStations() {
    const HandRow handRows[] = {
        {1, UnitResult::Done, "2026-12-10T06:00:00Z", "2026-12-10T06:01:00Z", "", "s2", "b"},
        {2, UnitResult::Done, "2026-12-10T06:00:00Z", "2026-12-10T06:00:30Z", "", "s1", "a"},
        {3, UnitResult::Failed, "2026-12-10T06:10:00Z", "2026-12-10T06:10:05Z", "x, \"y\"", "s2",
         "a"},
        {4, UnitResult::Done, "2026-12-10T07:00:00Z", "2026-12-10T07:02:00Z", "", "s1"},
    };
    std::vector<ledger::UnitRecord> rows;
    for (const HandRow& s : handRows) rows.push_back(Row(s));
    return report::BuildShiftReport(rows, *report::ParseIsoTime("2026-12-10T06:00:00Z"),
                                    *report::ParseIsoTime("2026-12-10T08:00:00Z"));
}

TEST(ReportFormats, JsonNestsEachPortUnderItsStation) {
    const test::TimeZone utc("UTC");
    const json doc = ShiftReportJson(TwoStations());
    EXPECT_EQ(doc["since"], "2026-12-10T06:00:00+00:00");
    EXPECT_EQ(doc["done"], 3);
    EXPECT_EQ(doc["failuresByCause"], json({{"x, \"y\"", 1}}));
    ASSERT_EQ(doc["stations"].size(), 2u);
    EXPECT_EQ(doc["stations"][0]["station"], "s1");
    EXPECT_EQ(doc["stations"][0]["done"], 2);
    EXPECT_EQ(doc["stations"][0]["medianSeconds"], 75.0);
    ASSERT_EQ(doc["stations"][0]["ports"].size(), 1u);
    EXPECT_EQ(doc["stations"][0]["ports"][0]["port"], "a");
    EXPECT_EQ(doc["stations"][0]["ports"][0]["done"], 1);
    ASSERT_EQ(doc["stations"][1]["ports"].size(), 2u);
    EXPECT_EQ(doc["stations"][1]["ports"][0]["port"], "a");
    EXPECT_EQ(doc["stations"][1]["ports"][0]["failures"], 1);
    EXPECT_EQ(doc["stations"][1]["ports"][1]["port"], "b");
    EXPECT_EQ(doc["hourly"], json::parse(R"([{"start":"2026-12-10T06:00:00+00:00","done":2,
        "failures":1},{"start":"2026-12-10T07:00:00+00:00","done":1,"failures":0}])"));
}

TEST(ReportFormats, CsvHasALinePerScopeAndAColumnPerCause) {
    const test::TimeZone utc("UTC");
    const std::string from = "2026-12-10T06:00:00+00:00,2026-12-10T08:00:00+00:00";
    EXPECT_EQ(ShiftReportCsv(TwoStations()),
              "scope,from,to,station,port,done,uncertain,void,released,units_per_hour,"
              "median_seconds,slowest_seconds,failures,\"cause:x, \"\"y\"\"\"\n"
              "total," +
                  from +
                  ",,,3,0,0,0,1.50,60.0,120,1,1\n"
                  "station," +
                  from +
                  ",s1,,2,0,0,0,1.00,75.0,120,0,0\n"
                  "station," +
                  from +
                  ",s2,,1,0,0,0,0.50,60.0,60,1,1\n"
                  "port," +
                  from +
                  ",s1,a,1,0,0,0,0.50,30.0,30,0,0\n"
                  "port," +
                  from +
                  ",s2,a,0,0,0,0,0.00,,,1,1\n"
                  "port," +
                  from +
                  ",s2,b,1,0,0,0,0.50,60.0,60,0,0\n"
                  "hour,2026-12-10T06:00:00+00:00,2026-12-10T07:00:00+00:00,,,2,,,,,,,1,\n"
                  "hour,2026-12-10T07:00:00+00:00,2026-12-10T08:00:00+00:00,,,1,,,,,,,0,\n");
}

}  // namespace
}  // namespace imgdl::cli

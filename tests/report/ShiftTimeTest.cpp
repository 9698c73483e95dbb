// Times as a person types them and as the report shows them: offsets, Z, and the local
// hours of a day the clocks change.
#include <gtest/gtest.h>

#include "ReportTestSupport.h"
#include "report/ShiftTime.h"

namespace imgdl::report {
namespace {

using test::TimeZone;

constexpr Instant k2026_12_10 = 1796860800;  // 2026-12-10T00:00:00Z

struct ParseCase {
    const char* text;
    std::optional<Instant> expected;
};

TEST(ShiftTime, ReadsIsoTimesWithTheirOffsetAndRefusesTheRest) {
    const ParseCase cases[] = {
        {"2026-12-10T06:00:00+01:00", k2026_12_10 + 5 * 3600},
        {"2026-12-10T06:00:00Z", k2026_12_10 + 6 * 3600},
        {"2026-12-10t06:00:00z", k2026_12_10 + 6 * 3600},
        {"2026-12-10T06:00+0100", k2026_12_10 + 5 * 3600},
        {"2026-12-10T06:00:00-05:30", k2026_12_10 + 11 * 3600 + 1800},
        {"2026-12-10T00:00:00+14:00", k2026_12_10 - 14 * 3600},
        {"2026-12-10T23:59:59Z", k2026_12_10 + 86399},
        {"2028-02-29T00:00:00Z", 1835395200},  // a leap day
        {"1970-01-01T00:00:00Z", 0},
        {"2026-12-10T06:00:00", std::nullopt},  // no offset: which 02:30 of the day?
        {"2026-12-10 06:00:00Z", std::nullopt},
        {"2026-12-10", std::nullopt},
        {"2026-13-10T06:00:00Z", std::nullopt},
        {"2026-02-29T06:00:00Z", std::nullopt},
        {"2026-04-31T06:00:00Z", std::nullopt},
        {"2026-12-10T24:00:00Z", std::nullopt},
        {"2026-12-10T06:60:00Z", std::nullopt},
        {"2026-12-10T06:00:60Z", std::nullopt},
        {"2026-12-10T06:00:00+24:00", std::nullopt},
        {"2026-12-10T06:00:00+1", std::nullopt},
        {"2026-12-10T06:00:00+01:00 ", std::nullopt},
        {"2026-12-10T6:00:00Z", std::nullopt},
        {"+2026-12-10T06:00:00Z", std::nullopt},
        {"yesterday", std::nullopt},
        {"", std::nullopt},
    };
    for (const auto& c : cases) EXPECT_EQ(ParseIsoTime(c.text), c.expected) << c.text;
}

TEST(ShiftTime, ReadsOnlyTheLedgersOwnForm) {
    EXPECT_EQ(ParseLedgerTime("2026-12-10T06:00:00Z"), k2026_12_10 + 6 * 3600);
    EXPECT_EQ(ParseLedgerTime("2026-12-10T06:00Z"), std::nullopt);
    EXPECT_EQ(ParseLedgerTime("2026-12-10T06:00:00+00:00"), std::nullopt);
    EXPECT_EQ(ParseLedgerTime(""), std::nullopt);
}

TEST(ShiftTime, ShowsLocalTimeWithTheOffsetOfThatInstant) {
    const TimeZone berlin("Europe/Berlin");
    EXPECT_EQ(FormatLocalTime(k2026_12_10), "2026-12-10T01:00:00+01:00");
    EXPECT_EQ(FormatLocalTime(*ParseIsoTime("2026-07-01T12:00:00Z")), "2026-07-01T14:00:00+02:00");
    const TimeZone newYork("America/New_York");
    EXPECT_EQ(FormatLocalTime(k2026_12_10), "2026-12-09T19:00:00-05:00");
    const TimeZone kolkata("Asia/Kolkata");
    EXPECT_EQ(FormatLocalTime(k2026_12_10), "2026-12-10T05:30:00+05:30");
    // Its local hours start at half past the UTC hours.
    EXPECT_EQ(FormatLocalTime(LocalHourStart(k2026_12_10 + 1799)), "2026-12-10T05:00:00+05:30");
}

TEST(ShiftTime, TheHourTheClocksGoBackHasTwoStartsOneHourApart) {
    const TimeZone berlin("Europe/Berlin");
    // 2026-10-25: 03:00+02:00 becomes 02:00+01:00 (01:00Z).
    const Instant first = *ParseIsoTime("2026-10-25T02:30:00+02:00");
    const Instant second = *ParseIsoTime("2026-10-25T02:30:00+01:00");
    EXPECT_EQ(second - first, 3600);
    EXPECT_EQ(FormatLocalTime(LocalHourStart(first)), "2026-10-25T02:00:00+02:00");
    EXPECT_EQ(FormatLocalTime(LocalHourStart(second)), "2026-10-25T02:00:00+01:00");
    // 2026-03-29: 02:00+01:00 is 03:00+02:00; the hour between never shows.
    EXPECT_EQ(FormatLocalTime(*ParseIsoTime("2026-03-29T01:00:00Z")), "2026-03-29T03:00:00+02:00");
}

}  // namespace
}  // namespace imgdl::report

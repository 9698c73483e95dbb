#pragma once
// Points in time for the report: the ledger writes UTC texts, a person gives and reads
// local times with their offset. Local means the TZ environment variable (localtime_r),
// so a daylight-saving change is the time zone database's, not ours.
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace imgdl::report {

// Seconds since 1970-01-01T00:00:00Z.
using Instant = std::int64_t;

inline constexpr Instant kSecondsPerHour = 3600;

// "2024-05-01T12:34:56Z", as the ledger writes it; nothing else.
std::optional<Instant> ParseLedgerTime(std::string_view text);

// ISO 8601 with its offset: "2026-12-10T06:00:00+01:00", "...+0100", "...Z"; the seconds
// may be left out ("2026-12-10T06:00+01:00"). A time without an offset means nothing on
// the day the clocks change, so it is refused.
std::optional<Instant> ParseIsoTime(std::string_view text);

// Local time with its offset: "2026-03-29T03:00:00+02:00".
std::string FormatLocalTime(Instant t);

// Broken-down local time of `t` and its offset east of UTC in seconds.
struct LocalTime {
    int year = 0, month = 0, day = 0, hour = 0, minute = 0, second = 0;
    long offset = 0;
};
LocalTime ToLocal(Instant t);

// The start of the local hour that holds `t`.
Instant LocalHourStart(Instant t);

}  // namespace imgdl::report

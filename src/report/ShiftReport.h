#pragma once
// The shift at a glance: what the ledger's rows say about a window of time. Units (a MAC
// counted once, by its newest row in the window) and attempts (released rows) are counted
// apart, so a unit released and then done is one unit done and one attempt released.
// A row belongs where it ended, or where it started while it has no end (allocated,
// uncertain).
#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "ledger/Ledger.h"
#include "report/ShiftTime.h"

namespace imgdl::report {

// What a failure with no recorded cause is counted under.
inline constexpr std::string_view kUnknownCause = "unknown";

struct ShiftFigures {
    std::uint64_t done = 0, uncertain = 0, voided = 0;  // units, by their newest row
    std::uint64_t released = 0;                         // attempts
    double unitsPerHour = 0;                            // done units / the window's hours
    // Time per done unit: from when the station found it (else from when its row
    // started) to its end. Empty when no unit is done.
    std::optional<double> medianSeconds;  // of an even count, the mean of the middle two
    std::optional<std::int64_t> slowestSeconds;
    // Failed, uncertain and void rows, by their cause.
    std::uint64_t failures = 0;
    std::map<std::string, std::uint64_t> failuresByCause;
};

struct StationFigures {
    std::string station;
    ShiftFigures figures;
};

struct PortFigures {
    std::string station;
    std::string port;
    ShiftFigures figures;
};

// One real hour from `start`; `label` is its local start with the offset, so the hour
// the clocks go back twice reads twice, with two offsets.
struct HourCount {
    Instant start = 0;
    std::string label;
    std::uint64_t done = 0;
    std::uint64_t failures = 0;
};

struct ShiftReport {
    Instant since = 0, until = 0;  // [since, until)
    std::string station;           // only this station's rows; empty: every station
    ShiftFigures total;
    std::vector<StationFigures> stations;  // by name
    std::vector<PortFigures> ports;        // by station, then port; rows a port made only
    // From the start of the local hour that holds `since` to `until`; the first and last
    // may hold less than an hour of the window.
    std::vector<HourCount> hours;
};

// `rows` oldest first, as Ledger::list gives them; rows whose times do not read are left
// out. `since` < `until`.
ShiftReport BuildShiftReport(const std::vector<ledger::UnitRecord>& rows, Instant since,
                             Instant until, std::string_view station = {});

}  // namespace imgdl::report

#include "line/ShiftTally.h"

#include <algorithm>

#include "common/UtcTime.h"
#include "report/ShiftReport.h"

namespace imgdl::line {

ShiftTally::ShiftTally(WallClock::time_point start, std::string station)
    : start_(std::chrono::floor<std::chrono::seconds>(start).time_since_epoch().count()),
      sinceText_(UtcText(start)),
      station_(std::move(station)) {}

LineFigures ShiftTally::figures(WallClock::time_point now) const {
    const std::int64_t until =
        std::max(start_, std::chrono::floor<std::chrono::seconds>(now).time_since_epoch().count()) +
        1;  // the ledger's times are whole seconds: a unit ended this second counts
    const report::ShiftReport shift = report::BuildShiftReport(rows_, start_, until, station_);
    LineFigures f;
    f.done = shift.total.done;
    f.failures = shift.total.failures;
    // Within the first hour, the units so far: a rate from minutes would promise far more
    // than the hour will hold.
    const double hours = static_cast<double>(until - start_) / report::kSecondsPerHour;
    f.unitsPerHour = hours < 1 ? static_cast<double>(f.done) : shift.total.unitsPerHour;
    for (const report::HourCount& h : shift.hours)
        f.hours.push_back({report::FormatLocalTime(h.start).substr(11, 5), h.done, h.failures});
    return f;
}

}  // namespace imgdl::line

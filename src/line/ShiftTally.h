#pragma once
// The shift's figures the window's header and chart show: units done, failures, units per
// hour, and both per clock hour, from the ledger's rows through the report module, so that
// they are the figures imgdl ledger report gives for this station since the window opened.
#include <chrono>
#include <cstdint>
#include <string>
#include <vector>

#include "ledger/Ledger.h"

namespace imgdl::line {

using WallClock = std::chrono::system_clock;

struct HourBar {
    std::string label;  // the local hour it starts, "14:00"
    std::uint64_t done = 0, failures = 0;
};

struct LineFigures {
    std::uint64_t done = 0, failures = 0;
    double unitsPerHour = 0;     // done units / the hours since the shift started
    std::vector<HourBar> hours;  // from the local hour the shift started in, to now
};

class ShiftTally {
  public:
    ShiftTally(WallClock::time_point start, std::string station);
    // The UTC text the shift's rows are read from (Ledger::listSince).
    const std::string& since() const { return sinceText_; }
    void setRows(std::vector<ledger::UnitRecord> rows) { rows_ = std::move(rows); }
    LineFigures figures(WallClock::time_point now) const;

  private:
    std::int64_t start_;  // seconds since the epoch
    std::string sinceText_;
    std::string station_;
    std::vector<ledger::UnitRecord> rows_;
};

}  // namespace imgdl::line

#pragma once
// The shift's figures the window's header and chart show: units done, failures, units per
// hour, and both per clock hour. Counted here from the station's events for now; once the
// report module that counts them from the ledger is in the tree, this class is the one
// place that changes (its figures keep this shape).
#include <chrono>
#include <cstdint>
#include <string>
#include <vector>

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
    explicit ShiftTally(WallClock::time_point start) : start_(start) {}
    void unitEnded(bool done, WallClock::time_point when);
    LineFigures figures(WallClock::time_point now) const;

  private:
    struct Ended {
        bool done;
        WallClock::time_point when;
    };
    WallClock::time_point start_;
    std::vector<Ended> ended_;
};

}  // namespace imgdl::line

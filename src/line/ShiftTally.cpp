#include "line/ShiftTally.h"

#include <time.h>

#include <algorithm>
#include <cstdio>

namespace imgdl::line {
namespace {

using std::chrono::hours;

// The start of the local hour that holds `t` (whole-hour time zones; a half-hour zone
// would only shift the bars' labels).
WallClock::time_point HourStart(WallClock::time_point t) {
    const std::time_t seconds = WallClock::to_time_t(t);
    std::tm local{};
    localtime_r(&seconds, &local);
    const auto intoHour = std::chrono::minutes(local.tm_min) + std::chrono::seconds(local.tm_sec);
    return std::chrono::floor<std::chrono::seconds>(t) - intoHour;
}

std::string HourLabel(WallClock::time_point t) {
    const std::time_t seconds = WallClock::to_time_t(t);
    std::tm local{};
    localtime_r(&seconds, &local);
    char text[8];
    std::snprintf(text, sizeof text, "%02d:00", local.tm_hour);
    return text;
}

}  // namespace

void ShiftTally::unitEnded(bool done, WallClock::time_point when) {
    ended_.push_back({done, when});
}

LineFigures ShiftTally::figures(WallClock::time_point now) const {
    LineFigures f;
    const auto first = HourStart(start_);
    for (auto hour = first; hour <= now; hour += hours(1))
        f.hours.push_back(HourBar{HourLabel(hour), 0, 0});
    if (f.hours.empty()) f.hours.push_back(HourBar{HourLabel(first), 0, 0});
    for (const Ended& e : ended_) {
        const auto slot = std::clamp<long>(
            std::chrono::duration_cast<hours>(e.when - first).count(), 0, f.hours.size() - 1);
        (e.done ? f.done : f.failures) += 1;
        (e.done ? f.hours[slot].done : f.hours[slot].failures) += 1;
    }
    // Within the first hour, the units so far: a rate from minutes would promise far more
    // than the hour will hold.
    const double shiftHours = std::chrono::duration<double>(now - start_).count() / 3600;
    f.unitsPerHour = f.done / std::max(shiftHours, 1.0);
    return f;
}

}  // namespace imgdl::line

#pragma once
// The shift report as --json and --csv print it.
#include <nlohmann/json.hpp>
#include <string>

#include "report/ShiftReport.h"

namespace imgdl::cli {

// {"since","until","windowHours","station", the figures, "stations":[{"station", the
// figures, "ports":[{"port", the figures}]}], "hourly":[{"start","done","failures"}]};
// the figures: "done","uncertain","void","released","unitsPerHour","medianSeconds",
// "slowestSeconds" (null when nothing is done),"failures","failuresByCause":{cause: n}.
nlohmann::json ShiftReportJson(const report::ShiftReport& r);

// One table, a line per scope: the whole window, each station, each port, each hour.
// scope,from,to,station,port,done,uncertain,void,released,units_per_hour,
// median_seconds,slowest_seconds,failures, then "cause:NAME" per cause of the window.
// An hour's line fills only from, to, done and failures.
std::string ShiftReportCsv(const report::ShiftReport& r);

}  // namespace imgdl::cli

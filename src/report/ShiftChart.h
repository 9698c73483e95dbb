#pragma once
// The shift's chart: units done and failures per hour as bars, in plain SVG 1.1 (no
// scripts, no style sheets, no external fonts), so browsers, word processors and
// rsvg-convert all show the same picture.
#include <string>

#include "report/ShiftReport.h"

namespace imgdl::report {

// The whole document, XML declaration included.
std::string ShiftChartSvg(const ShiftReport& report);

}  // namespace imgdl::report

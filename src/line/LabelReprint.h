#pragma once
// A done unit's label made again, as the station makes it: from the unit's ledger row,
// into the station's label folder and/or printer. The ledger counts it, so it says
// "REPRINT n".
#include <cstdint>
#include <string>

#include "ledger/Ledger.h"
#include "station/StationConfig.h"

namespace imgdl::line {

struct Reprint {
    std::string where;  // the file and/or printer it went to
    std::string error;  // why there is none
};

Reprint ReprintLabel(ledger::Ledger& ledger, std::uint64_t mac,
                     const station::StationLabels& labels);

}  // namespace imgdl::line

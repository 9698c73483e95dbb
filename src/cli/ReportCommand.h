#pragma once
// imgdl ledger report: the shift at a glance, from the ledger's rows.
#include "Commands.h"

namespace imgdl::cli {

// Adds `report` to the `ledger` group.
void AddLedgerReportCommand(CLI::App& ledger, Action& chosen);

}  // namespace imgdl::cli

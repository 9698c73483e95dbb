#pragma once
// The options several commands take alike, read by the one reader of each value.
#include <optional>
#include <string>
#include <vector>

#include "CliArgs.h"

namespace CLI {
class App;
}

namespace imgdl::cli {

// --target A.B.C.D[:PORT], required; the last one given counts.
void AddTargetOption(CLI::App& app, std::optional<Target>& target);

// --target A.B.C.D[:PORT], required, as often as there are targets.
void AddTargetsOption(CLI::App& app, std::vector<Target>& targets);

// --retries N, --connect-timeout S, --ack-timeout S, --write-timeout S.
void AddSessionLimitOptions(CLI::App& app, SessionLimits& limits);

// --ledger L; left out, the location stays empty for the default ledger.
void AddLedgerOption(CLI::App& app, std::string& location);

}  // namespace imgdl::cli

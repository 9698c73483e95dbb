#pragma once
// The ledger's status and unit rows as --json prints them.
#include <nlohmann/json.hpp>
#include <string>

#include "ledger/Ledger.h"

namespace imgdl::cli {

// {"ledger","range":{...},"size","used",counts by result,"free","next":{mac,serial}|null,"low"}
nlohmann::json LedgerStatusJson(const ledger::LedgerStatus& s, const std::string& shownLocation);

// Every field of a row; texts a row may lack (ended, message, ...) are null when empty.
nlohmann::json UnitRecordJson(const ledger::UnitRecord& u);

}  // namespace imgdl::cli

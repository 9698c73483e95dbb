#pragma once
// The ledger's rules over any SqlConnection: schema, allocation order and state changes.
#include <memory>

#include "ledger/Ledger.h"
#include "ledger/SqlConnection.h"

namespace imgdl::ledger {

std::unique_ptr<Ledger> MakeSqlLedger(std::unique_ptr<SqlConnection> connection, LedgerHooks hooks);

}  // namespace imgdl::ledger

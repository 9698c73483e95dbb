#pragma once
// One ledger connection shared by many threads (a station's ports), with group commit:
// the changes that arrive while a transaction commits go together into the next one, so
// that N units cost one commit (one fsync) where they would cost N. Every operation
// returns only once its change is committed, as on a connection of its own.
#include <memory>
#include <string_view>

#include "ledger/Ledger.h"

namespace imgdl::ledger {

LedgerResult<std::shared_ptr<Ledger>> OpenGroupLedger(std::string_view location,
                                                      WaitLimits limits = {});

}  // namespace imgdl::ledger

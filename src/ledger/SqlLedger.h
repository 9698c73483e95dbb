#pragma once
// The ledger's rules over any SqlConnection: schema, allocation order and state changes.
#include <memory>

#include "ledger/Ledger.h"
#include "ledger/SqlConnection.h"

namespace imgdl::ledger {

// A ledger whose operations can share one transaction, so that many units' changes cost
// one commit.
class BatchLedger : public Ledger {
  public:
    // Operations until endBatch run in one write transaction, each as a savepoint.
    virtual LedgerError beginBatch() = 0;
    // Commits the batch (rolled back when the commit fails), or rolls it back.
    virtual LedgerError endBatch(bool commit) = 0;
};

std::unique_ptr<BatchLedger> MakeSqlLedger(std::unique_ptr<SqlConnection> connection,
                                           LedgerHooks hooks);
// OpenLedger's ledger, with its batches.
LedgerResult<std::unique_ptr<BatchLedger>> OpenBatchLedger(std::string_view location,
                                                           LedgerHooks hooks, WaitLimits limits);

}  // namespace imgdl::ledger

#pragma once
// The ledger on a PostgreSQL server, shared by the stations of a line.
#include <memory>
#include <string_view>

#include "ledger/LedgerError.h"
#include "ledger/SqlConnection.h"

namespace imgdl::ledger {

// Connects now, with the URI handed to libpq unchanged (so PGPASSFILE, ~/.pgpass and the
// PG* variables work as usual). Messages show the URI only through RedactUri.
LedgerResult<std::unique_ptr<SqlConnection>> ConnectPostgres(std::string_view uri);

}  // namespace imgdl::ledger

#pragma once
// The ledger on a PostgreSQL server, shared by the stations of a line.
#include <memory>
#include <string_view>

#include "ledger/LedgerError.h"
#include "ledger/SqlConnection.h"

namespace imgdl::ledger {

// The soname of the libpq the package depends on (libpq5).
inline constexpr const char* kLibPqName = "libpq.so.5";

// Loads libpq (named `libpq`: tests name one that is not there) and connects now, with the
// URI handed to it unchanged (so PGPASSFILE, ~/.pgpass and the PG* variables work as
// usual). Messages show the URI only through RedactUri.
LedgerResult<std::unique_ptr<SqlConnection>> ConnectPostgres(std::string_view uri,
                                                             const char* libpq = kLibPqName);

}  // namespace imgdl::ledger

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
// The connect is bounded (connect_timeout) and the connection kept under TCP keepalives,
// unless the URI sets them itself; every statement waits at most the deadline, after which
// the connection is dropped: a frozen server answers no statement timeout of its own.
LedgerResult<std::unique_ptr<SqlConnection>> ConnectPostgres(std::string_view uri,
                                                             WaitLimits limits = {},
                                                             const char* libpq = kLibPqName);

}  // namespace imgdl::ledger

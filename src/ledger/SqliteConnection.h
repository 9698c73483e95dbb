#pragma once
// The ledger in one SQLite file, for a single station (or several processes on it).
#include <memory>
#include <string>

#include "ledger/LedgerError.h"
#include "ledger/SqlConnection.h"

namespace imgdl::ledger {

// The soname of the SQLite library the package depends on (libsqlite3-0).
inline constexpr const char* kLibSqliteName = "libsqlite3.so.0";

// Loads the SQLite library (named `libsqlite`: tests name one that is not there) now, but
// opens no file yet: the file is opened by the first operation (created only by init).
// A writer that finds the file locked waits up to the deadline, telling the notice once
// it has waited more than a second.
LedgerResult<std::unique_ptr<SqlConnection>> ConnectSqlite(std::string path, WaitLimits limits = {},
                                                           const char* libsqlite = kLibSqliteName);

}  // namespace imgdl::ledger

#pragma once
// The ledger in one SQLite file, for a single station (or several processes on it).
#include <memory>
#include <string>

#include "ledger/SqlConnection.h"

namespace imgdl::ledger {

// Opens nothing yet: the file is opened by the first operation (created only by init).
std::unique_ptr<SqlConnection> MakeSqliteConnection(std::string path);

}  // namespace imgdl::ledger

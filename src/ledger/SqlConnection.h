#pragma once
// The little a ledger needs from a database: run one statement with parameters ($1, $2,
// ...) and read its rows as text. The SQLite and PostgreSQL back ends implement it; the
// ledger's rules are written once on top (SqlLedger).
#include <chrono>
#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include "ledger/LedgerError.h"

namespace imgdl::ledger {

using SqlValue = std::variant<std::monostate, std::int64_t, std::string>;
using SqlRow = std::vector<std::optional<std::string>>;

// How long one database operation may wait (a lock held by another program, a server
// that does not answer), and where a long wait is told while it lasts.
struct WaitLimits {
    std::chrono::milliseconds deadline{10'000};
    std::function<void(const std::string&)> notice;  // may be empty
};

// Where the two databases differ in the statements the ledger runs.
struct SqlDialect {
    std::string_view beginWrite;   // a transaction that will write
    std::string_view lockRange;    // appended to the range row's SELECT in a write
    std::string_view idColumn;     // the unit row's generated key
    std::string_view rangeExists;  // one row when the ledger's tables are there
    bool alterChecks;              // a column's CHECK can be changed in place (else: rebuild)
};

class SqlConnection {
  public:
    virtual ~SqlConnection() = default;
    virtual const SqlDialect& dialect() const = 0;
    // Makes sure the database can be used; `create` lets init make a new one. A missing
    // database without `create` is NotInitialised.
    virtual LedgerError open(bool create) = 0;
    // Runs one statement; its rows (if any) go to `rows`. A missing table is
    // NotInitialised, any other failure Database, with a message fit to show.
    virtual LedgerError exec(std::string_view sql, std::span<const SqlValue> params = {},
                             std::vector<SqlRow>* rows = nullptr) = 0;
};

}  // namespace imgdl::ledger

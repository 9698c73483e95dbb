#include "ledger/SqliteConnection.h"

#include <sqlite3.h>

#include <chrono>
#include <filesystem>
#include <thread>
#include <type_traits>

#include "ledger/LibSqlite.h"

namespace imgdl::ledger {

namespace {

using Clock = std::chrono::steady_clock;

constexpr SqlDialect kSqlite{
    "BEGIN IMMEDIATE",
    "",
    "id INTEGER PRIMARY KEY AUTOINCREMENT",
    "SELECT name FROM sqlite_master WHERE type = 'table' AND name = 'ledger_range'",
    false,
};

struct CloseDb {
    decltype(&::sqlite3_close_v2) close;
    void operator()(sqlite3* db) const { close(db); }
};
struct FinalizeStatement {
    decltype(&::sqlite3_finalize) finalize;
    void operator()(sqlite3_stmt* s) const { finalize(s); }
};
using DbHandle = std::unique_ptr<sqlite3, CloseDb>;
using StatementHandle = std::unique_ptr<sqlite3_stmt, FinalizeStatement>;

// SQLite reads "$1" as a named parameter numbered by first appearance; "?1" is positional.
std::string Positional(std::string_view sql) {
    std::string out(sql);
    for (char& c : out)
        if (c == '$') c = '?';
    return out;
}

// SQLite's busy handler: called again and again while another program holds the lock.
// Waits a little each time, tells once a second has gone by, gives up at the deadline.
struct BusyWait {
    WaitLimits limits;
    std::string path;
    Clock::time_point started;
    bool told = false;

    static int Handle(void* self, int attempt) {
        auto& w = *static_cast<BusyWait*>(self);
        const auto now = Clock::now();
        if (attempt == 0) {
            w.started = now;
            w.told = false;
        }
        if (now - w.started >= w.limits.deadline) return 0;
        if (!w.told && now - w.started >= std::chrono::seconds(1)) {
            w.told = true;
            if (w.limits.notice)
                w.limits.notice("waiting for a lock on " + w.path + " held by another program");
        }
        // Short waits first: a station's ports take the lock for a millisecond each, and a
        // long first sleep would serialise them far more than the lock itself does.
        std::this_thread::sleep_for(attempt < 50    ? std::chrono::microseconds(500)
                                    : attempt < 100 ? std::chrono::microseconds(5000)
                                                    : std::chrono::microseconds(25000));
        return 1;
    }
};

class SqliteConnection final : public SqlConnection {
  public:
    SqliteConnection(LibSqlite sq, std::string path, WaitLimits limits)
        : sq_(std::move(sq)),
          path_(std::move(path)),
          busy_(std::make_unique<BusyWait>(BusyWait{std::move(limits), path_, {}, false})) {}

    const SqlDialect& dialect() const override { return kSqlite; }

    LedgerError open(bool create) override {
        if (db_) return {};
        std::error_code ec;
        if (!create && !std::filesystem::exists(path_, ec))
            return Fail(LedgerErrc::NotInitialised, "no ledger at " + path_);
        if (create) {
            const auto folder = std::filesystem::path(path_).parent_path();
            if (!folder.empty()) std::filesystem::create_directories(folder, ec);
        }
        sqlite3* raw = nullptr;
        const int flags = SQLITE_OPEN_READWRITE | (create ? SQLITE_OPEN_CREATE : 0);
        const int rc = sq_.sqlite3_open_v2(path_.c_str(), &raw, flags, nullptr);
        DbHandle db(raw, {sq_.sqlite3_close_v2});
        if (rc != SQLITE_OK)
            return Fail(LedgerErrc::Unavailable,
                        "cannot open the ledger " + path_ + ": " +
                            (db ? sq_.sqlite3_errmsg(db.get()) : sq_.sqlite3_errstr(rc)));
        sq_.sqlite3_busy_handler(db.get(), &BusyWait::Handle, busy_.get());
        sq_.sqlite3_extended_result_codes(db.get(), 1);
        db_ = std::move(db);
        return {};
    }

    LedgerError exec(std::string_view sql, std::span<const SqlValue> params,
                     std::vector<SqlRow>* rows) override {
        if (!db_) return Fail(LedgerErrc::Unavailable, "the ledger " + path_ + " is not open");
        const std::string text = Positional(sql);
        sqlite3_stmt* raw = nullptr;
        if (sq_.sqlite3_prepare_v2(db_.get(), text.c_str(), static_cast<int>(text.size()), &raw,
                                   nullptr) != SQLITE_OK)
            return failure();
        StatementHandle statement(raw, {sq_.sqlite3_finalize});
        for (std::size_t i = 0; i < params.size(); ++i)
            bind(raw, static_cast<int>(i + 1), params[i]);
        for (;;) {
            const int rc = sq_.sqlite3_step(raw);
            if (rc == SQLITE_DONE) return {};
            if (rc != SQLITE_ROW) return failure();
            if (rows) rows->push_back(readRow(raw));
        }
    }

  private:
    void bind(sqlite3_stmt* s, int index, const SqlValue& value) const {
        std::visit(
            [&](const auto& v) {
                using T = std::decay_t<decltype(v)>;
                if constexpr (std::is_same_v<T, std::int64_t>)
                    sq_.sqlite3_bind_int64(s, index, v);
                else if constexpr (std::is_same_v<T, std::string>)
                    sq_.sqlite3_bind_text(s, index, v.data(), static_cast<int>(v.size()),
                                          SQLITE_TRANSIENT);
                else
                    sq_.sqlite3_bind_null(s, index);
            },
            value);
    }

    SqlRow readRow(sqlite3_stmt* s) const {
        SqlRow row;
        const int columns = sq_.sqlite3_column_count(s);
        for (int i = 0; i < columns; ++i) {
            if (sq_.sqlite3_column_type(s, i) == SQLITE_NULL) {
                row.emplace_back();
                continue;
            }
            const auto* text = reinterpret_cast<const char*>(sq_.sqlite3_column_text(s, i));
            row.emplace_back(
                std::string(text, static_cast<std::size_t>(sq_.sqlite3_column_bytes(s, i))));
        }
        return row;
    }

    LedgerError failure() const {
        const std::string what = sq_.sqlite3_errmsg(db_.get());
        if (what.rfind("no such table", 0) == 0)
            return Fail(LedgerErrc::NotInitialised, "no ledger in " + path_);
        const int code = sq_.sqlite3_errcode(db_.get()) & 0xFF;
        if (code == SQLITE_NOTADB)
            return Fail(LedgerErrc::Unavailable, path_ + " is not a ledger: " + what);
        return Fail(LedgerErrc::Database, "ledger " + path_ + ": " + what);
    }

    LibSqlite sq_;  // before db_: the library is closed after the database
    std::string path_;
    std::unique_ptr<BusyWait> busy_;  // before db_: the handler outlives the database
    DbHandle db_;
};

}  // namespace

LedgerResult<std::unique_ptr<SqlConnection>> ConnectSqlite(std::string path, WaitLimits limits,
                                                           const char* libsqlite) {
    auto loaded = LibSqlite::Load(libsqlite);
    if (!loaded.ok())
        return Fail(LedgerErrc::Unavailable,
                    "cannot open the ledger " + path + ": " + loaded.error().message);
    return std::unique_ptr<SqlConnection>(std::make_unique<SqliteConnection>(
        std::move(loaded).value(), std::move(path), std::move(limits)));
}

}  // namespace imgdl::ledger

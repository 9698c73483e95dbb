#include "ledger/PgConnection.h"

#include <libpq-fe.h>

#include <type_traits>

#include "ledger/LibPq.h"
#include "ledger/RedactUri.h"

namespace imgdl::ledger {

namespace {

constexpr SqlDialect kPostgres{
    "BEGIN",
    " FOR UPDATE",
    "id BIGINT GENERATED ALWAYS AS IDENTITY PRIMARY KEY",
    "SELECT to_regclass('ledger_range')",
};

// A station waits this long for another one's allocation (a stuck or cut-off station
// holding the range row) before giving up with an error instead of hanging.
constexpr std::string_view kSessionSettings = "SET lock_timeout = '30s'";

constexpr std::string_view kUndefinedTable = "42P01";

struct FinishConn {
    decltype(&::PQfinish) finish;
    void operator()(PGconn* c) const { finish(c); }
};
struct ClearResult {
    decltype(&::PQclear) clear;
    void operator()(PGresult* r) const { clear(r); }
};
using ConnHandle = std::unique_ptr<PGconn, FinishConn>;
using ResultHandle = std::unique_ptr<PGresult, ClearResult>;

// libpq prints server notices to standard error by default; the ledger keeps quiet.
void IgnoreNotice(void*, const char*) {}

std::string Trimmed(std::string text) {
    while (!text.empty() && (text.back() == '\n' || text.back() == ' ')) text.pop_back();
    return text;
}

class PgConnection final : public SqlConnection {
  public:
    PgConnection(LibPq pq, ConnHandle conn, std::string shown, std::vector<std::string> secrets)
        : pq_(std::move(pq)),
          conn_(std::move(conn)),
          shown_(std::move(shown)),
          secrets_(std::move(secrets)) {}

    const SqlDialect& dialect() const override { return kPostgres; }

    LedgerError open(bool) override { return {}; }

    LedgerError exec(std::string_view sql, std::span<const SqlValue> params,
                     std::vector<SqlRow>* rows) override {
        std::vector<std::string> texts(params.size());
        std::vector<const char*> values(params.size());
        for (std::size_t i = 0; i < params.size(); ++i) values[i] = text(params[i], texts[i]);
        const std::string statement(sql);
        ResultHandle result(
            pq_.PQexecParams(conn_.get(), statement.c_str(), static_cast<int>(params.size()),
                             nullptr, values.data(), nullptr, nullptr, 0),
            {pq_.PQclear});
        const ExecStatusType status = result ? pq_.PQresultStatus(result.get()) : PGRES_FATAL_ERROR;
        if (status != PGRES_COMMAND_OK && status != PGRES_TUPLES_OK) return failure(result.get());
        if (rows && status == PGRES_TUPLES_OK) readRows(result.get(), *rows);
        return {};
    }

  private:
    static const char* text(const SqlValue& value, std::string& storage) {
        if (const auto* n = std::get_if<std::int64_t>(&value)) {
            storage = std::to_string(*n);
            return storage.c_str();
        }
        if (const auto* s = std::get_if<std::string>(&value)) return s->c_str();
        return nullptr;
    }

    void readRows(PGresult* r, std::vector<SqlRow>& rows) const {
        const int columns = pq_.PQnfields(r);
        for (int i = 0; i < pq_.PQntuples(r); ++i) {
            SqlRow row;
            for (int j = 0; j < columns; ++j) {
                if (pq_.PQgetisnull(r, i, j))
                    row.emplace_back();
                else
                    row.emplace_back(
                        std::string(pq_.PQgetvalue(r, i, j),
                                    static_cast<std::size_t>(pq_.PQgetlength(r, i, j))));
            }
            rows.push_back(std::move(row));
        }
    }

    LedgerError failure(PGresult* r) const {
        const char* state = r ? pq_.PQresultErrorField(r, PG_DIAG_SQLSTATE) : nullptr;
        if (state && std::string_view(state) == kUndefinedTable)
            return Fail(LedgerErrc::NotInitialised, "no ledger in " + shown_);
        const std::string what = Scrub(
            Trimmed(r ? pq_.PQresultErrorMessage(r) : pq_.PQerrorMessage(conn_.get())), secrets_);
        const bool lost = pq_.PQstatus(conn_.get()) != CONNECTION_OK;
        return Fail(lost ? LedgerErrc::Unavailable : LedgerErrc::Database,
                    "ledger " + shown_ + ": " + what);
    }

    LibPq pq_;  // before conn_: the library is closed after the connection
    ConnHandle conn_;
    std::string shown_;
    std::vector<std::string> secrets_;
};

}  // namespace

LedgerResult<std::unique_ptr<SqlConnection>> ConnectPostgres(std::string_view uri,
                                                             const char* libpq) {
    const std::string location(uri);
    std::string shown = RedactUri(uri);
    std::vector<std::string> secrets = UriPasswords(uri);
    auto loaded = LibPq::Load(libpq);
    if (!loaded.ok())
        return Fail(LedgerErrc::Unavailable,
                    "cannot connect to " + shown + ": " + loaded.error().message);
    const LibPq& pq = loaded.value();
    ConnHandle conn(pq.PQconnectdb(location.c_str()), {pq.PQfinish});
    if (!conn) return Fail(LedgerErrc::Unavailable, "cannot connect to " + shown);
    if (pq.PQstatus(conn.get()) != CONNECTION_OK)
        return Fail(LedgerErrc::Unavailable,
                    "cannot connect to " + shown + ": " +
                        Scrub(Trimmed(pq.PQerrorMessage(conn.get())), secrets));
    pq.PQsetNoticeProcessor(conn.get(), IgnoreNotice, nullptr);
    std::unique_ptr<SqlConnection> connection = std::make_unique<PgConnection>(
        std::move(loaded).value(), std::move(conn), std::move(shown), std::move(secrets));
    if (LedgerError e = connection->exec(kSessionSettings); e.failed()) return e;
    return connection;
}

}  // namespace imgdl::ledger

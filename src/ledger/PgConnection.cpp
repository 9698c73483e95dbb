#include "ledger/PgConnection.h"

#include <libpq-fe.h>

#include <poll.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>
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
    true,
};

// A station waits for another one's allocation (a stuck or cut-off station holding the
// range row) a little less than the client's own deadline, so that the server says why.
std::string SessionSettings(const WaitLimits& limits) {
    return "SET lock_timeout = '" + std::to_string(limits.deadline.count() * 4 / 5 + 1) + "ms'";
}

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

std::string SecondsText(std::chrono::milliseconds t) {
    char text[32];
    std::snprintf(text, sizeof text, "%g s", static_cast<double>(t.count()) / 1000);
    return text;
}

// libpq prints server notices to standard error by default; the ledger keeps quiet.
void IgnoreNotice(void*, const char*) {}

std::string Trimmed(std::string text) {
    while (!text.empty() && (text.back() == '\n' || text.back() == ' ')) text.pop_back();
    return text;
}

class PgConnection final : public SqlConnection {
  public:
    PgConnection(LibPq pq, ConnHandle conn, std::string shown, std::vector<std::string> secrets,
                 WaitLimits limits)
        : pq_(std::move(pq)),
          conn_(std::move(conn)),
          shown_(std::move(shown)),
          secrets_(std::move(secrets)),
          limits_(std::move(limits)) {}

    const SqlDialect& dialect() const override { return kPostgres; }

    LedgerError open(bool) override { return {}; }

    LedgerError exec(std::string_view sql, std::span<const SqlValue> params,
                     std::vector<SqlRow>* rows) override {
        std::vector<std::string> texts(params.size());
        std::vector<const char*> values(params.size());
        for (std::size_t i = 0; i < params.size(); ++i) values[i] = text(params[i], texts[i]);
        const std::string statement(sql);
        if (!conn_)
            return Fail(LedgerErrc::Unavailable,
                        "ledger " + shown_ + ": the connection was dropped after a timeout");
        if (!pq_.PQsendQueryParams(conn_.get(), statement.c_str(), static_cast<int>(params.size()),
                                   nullptr, values.data(), nullptr, nullptr, 0))
            return failure(nullptr);
        if (!awaitResult()) {
            conn_.reset();  // a late answer must never be read as another statement's
            return Fail(LedgerErrc::Unavailable,
                        "ledger " + shown_ + ": the database server did not answer within " +
                            SecondsText(limits_.deadline));
        }
        ResultHandle result = lastResult();
        const ExecStatusType status = result ? pq_.PQresultStatus(result.get()) : PGRES_FATAL_ERROR;
        if (status != PGRES_COMMAND_OK && status != PGRES_TUPLES_OK) return failure(result.get());
        if (rows && status == PGRES_TUPLES_OK) readRows(result.get(), *rows);
        return {};
    }

  private:
    // Reads until the whole answer is in, or the deadline passes (false).
    bool awaitResult() {
        const auto giveUp = std::chrono::steady_clock::now() + limits_.deadline;
        while (pq_.PQisBusy(conn_.get())) {
            const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                giveUp - std::chrono::steady_clock::now());
            if (left.count() <= 0) return false;
            pollfd p{pq_.PQsocket(conn_.get()), POLLIN, 0};
            const int n = ::poll(&p, 1, static_cast<int>(left.count()));
            if (n < 0 && errno == EINTR) continue;
            if (n < 0 || !pq_.PQconsumeInput(conn_.get())) return true;  // failure() says why
        }
        return true;
    }
    // The statement's last result; the ones before it (none, for one statement) dropped.
    ResultHandle lastResult() {
        ResultHandle last(nullptr, {pq_.PQclear});
        while (PGresult* r = pq_.PQgetResult(conn_.get())) last.reset(r);
        return last;
    }

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
        const bool lost = !conn_ || pq_.PQstatus(conn_.get()) != CONNECTION_OK;
        return Fail(lost ? LedgerErrc::Unavailable : LedgerErrc::Database,
                    "ledger " + shown_ + ": " + what);
    }

    LibPq pq_;  // before conn_: the library is closed after the connection
    ConnHandle conn_;
    std::string shown_;
    std::vector<std::string> secrets_;
    WaitLimits limits_;
};

// The connection's parameters: bounded connect and keepalives first, so that the same
// settings in the URI, expanded after them, win.
ConnHandle ConnectWithLimits(const LibPq& pq, const std::string& uri, const WaitLimits& limits) {
    const auto seconds = std::max<long long>(
        2, std::chrono::duration_cast<std::chrono::seconds>(limits.deadline).count());
    const std::string timeout = std::to_string(seconds);
    const char* keys[] = {"connect_timeout",
                          "keepalives",
                          "keepalives_idle",
                          "keepalives_interval",
                          "keepalives_count",
                          "dbname",
                          nullptr};
    const char* values[] = {timeout.c_str(), "1", "5", "2", "3", uri.c_str(), nullptr};
    return ConnHandle(pq.PQconnectdbParams(keys, values, 1), {pq.PQfinish});
}

}  // namespace

LedgerResult<std::unique_ptr<SqlConnection>> ConnectPostgres(std::string_view uri,
                                                             WaitLimits limits, const char* libpq) {
    const std::string location(uri);
    std::string shown = RedactUri(uri);
    std::vector<std::string> secrets = UriPasswords(uri);
    auto loaded = LibPq::Load(libpq);
    if (!loaded.ok())
        return Fail(LedgerErrc::Unavailable,
                    "cannot connect to " + shown + ": " + loaded.error().message);
    const LibPq& pq = loaded.value();
    ConnHandle conn = ConnectWithLimits(pq, location, limits);
    if (!conn) return Fail(LedgerErrc::Unavailable, "cannot connect to " + shown);
    if (pq.PQstatus(conn.get()) != CONNECTION_OK)
        return Fail(LedgerErrc::Unavailable,
                    "cannot connect to " + shown + ": " +
                        Scrub(Trimmed(pq.PQerrorMessage(conn.get())), secrets));
    pq.PQsetNoticeProcessor(conn.get(), IgnoreNotice, nullptr);
    const std::string settings = SessionSettings(limits);
    std::unique_ptr<SqlConnection> connection =
        std::make_unique<PgConnection>(std::move(loaded).value(), std::move(conn), std::move(shown),
                                       std::move(secrets), std::move(limits));
    if (LedgerError e = connection->exec(settings); e.failed()) return e;
    return connection;
}

}  // namespace imgdl::ledger

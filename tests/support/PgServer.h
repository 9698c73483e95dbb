#pragma once
// Statements run straight on the throw-away PostgreSQL server (scripts/with-postgres), for
// the ledger's tests and benchmark: making and dropping a schema of their own.
#include <libpq-fe.h>

#include <memory>
#include <string>

namespace imgdl::test {

struct PgConnCloser {
    void operator()(PGconn* c) const { PQfinish(c); }
};

// Runs one statement on the server; false on any failure.
inline bool RunOnServer(const std::string& uri, const std::string& sql) {
    std::unique_ptr<PGconn, PgConnCloser> conn(PQconnectdb(uri.c_str()));
    if (PQstatus(conn.get()) != CONNECTION_OK) return false;
    PQsetNoticeProcessor(
        conn.get(), [](void*, const char*) {}, nullptr);
    PGresult* r = PQexec(conn.get(), sql.c_str());
    const bool ok = PQresultStatus(r) == PGRES_COMMAND_OK;
    PQclear(r);
    return ok;
}

// `uri` with libpq's "options" parameter setting the search path to `schema`, so that
// the ledger's unqualified tables land there.
inline std::string WithSchema(const std::string& uri, const std::string& schema) {
    const char joint = uri.find('?') == std::string::npos ? '?' : '&';
    return uri + joint + "options=-csearch_path%3D" + schema;
}

}  // namespace imgdl::test

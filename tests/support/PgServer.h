#pragma once
// Statements run straight on the throw-away PostgreSQL server (scripts/with-postgres), for
// the ledger's tests and benchmark, and the station's: making and dropping a schema of
// their own.
#include <libpq-fe.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
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

// A schema of its own on the test server for one test, dropped when it goes. The
// server's URIs come from scripts/with-postgres; uri() is empty without it.
class ServerSchema {
  public:
    explicit ServerSchema(const std::string& prefix) {
        const char* server = std::getenv("IMGDL_TEST_PG_URI");
        if (!server) return;
        server_ = server;
        const auto tick = std::chrono::steady_clock::now().time_since_epoch().count();
        name_ = prefix + "_" + std::to_string(::getpid()) + "_" + std::to_string(tick);
        if (!RunOnServer(server_, "CREATE SCHEMA " + name_)) name_.clear();
    }
    ~ServerSchema() {
        if (!name_.empty()) RunOnServer(server_, "DROP SCHEMA " + name_ + " CASCADE");
    }
    ServerSchema(const ServerSchema&) = delete;
    ServerSchema& operator=(const ServerSchema&) = delete;

    // The schema through `variable` (IMGDL_TEST_PG_URI over TCP, IMGDL_TEST_PG_SOCKET_URI
    // through the server's Unix socket); empty when there is no server or no schema.
    std::string uri(const char* variable = "IMGDL_TEST_PG_URI") const {
        const char* base = std::getenv(variable);
        return name_.empty() || !base ? "" : WithSchema(base, name_);
    }

  private:
    std::string server_;
    std::string name_;
};

}  // namespace imgdl::test

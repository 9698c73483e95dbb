#pragma once
// A fresh, empty ledger location per test on either back end: a file in a folder of its
// own, or a schema of its own on the throw-away server that scripts/with-postgres starts
// (its URI in IMGDL_TEST_PG_URI). Without that server the PostgreSQL cases are skipped.
#include <libpq-fe.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <memory>
#include <string>

#include "support/PgServer.h"
#include "support/TempDir.h"

namespace imgdl::test {

enum class Backend { Sqlite, Postgres };

inline std::string BackendName(const testing::TestParamInfo<Backend>& info) {
    return info.param == Backend::Sqlite ? "Sqlite" : "Postgres";
}

inline std::string TestServerUri() {
    const char* uri = std::getenv("IMGDL_TEST_PG_URI");
    return uri ? uri : "";
}

inline constexpr const char* kNoServer =
    "IMGDL_TEST_PG_URI is not set: run the tests under scripts/with-postgres for the "
    "PostgreSQL cases";

class ScratchLedger {
  public:
    explicit ScratchLedger(Backend backend) : backend_(backend) {
        if (backend == Backend::Sqlite) {
            location_ = dir_.file("ledger.sqlite");
            return;
        }
        server_ = TestServerUri();
        if (server_.empty()) return;
        const auto tick = std::chrono::steady_clock::now().time_since_epoch().count();
        schema_ = "ledger_test_" + std::to_string(::getpid()) + "_" + std::to_string(tick);
        if (RunOnServer(server_, "CREATE SCHEMA " + schema_))
            location_ = WithSchema(server_, schema_);
    }
    ~ScratchLedger() {
        if (!schema_.empty()) RunOnServer(server_, "DROP SCHEMA " + schema_ + " CASCADE");
    }
    ScratchLedger(const ScratchLedger&) = delete;
    ScratchLedger& operator=(const ScratchLedger&) = delete;

    // Empty when the back end cannot be used here (see skipReason()).
    const std::string& location() const { return location_; }
    std::string skipReason() const {
        return server_.empty() ? kNoServer : "cannot create a schema on the test server";
    }
    const TempDir& dir() const { return dir_; }
    Backend backend() const { return backend_; }

  private:
    Backend backend_;
    TempDir dir_;
    std::string server_;
    std::string schema_;
    std::string location_;
};

}  // namespace imgdl::test

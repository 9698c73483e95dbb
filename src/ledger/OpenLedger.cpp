#include <pwd.h>
#include <unistd.h>

#include <cstdlib>

#include "ledger/Ledger.h"
#include "ledger/PgConnection.h"
#include "ledger/SqlLedger.h"
#include "ledger/SqliteConnection.h"

namespace imgdl::ledger {

bool IsPostgresUri(std::string_view location) {
    return location.starts_with("postgresql://") || location.starts_with("postgres://");
}

LedgerResult<std::unique_ptr<BatchLedger>> OpenBatchLedger(std::string_view location,
                                                           LedgerHooks hooks, WaitLimits limits) {
    if (location.empty()) return Fail(LedgerErrc::Unavailable, "no ledger location given");
    auto connection = IsPostgresUri(location) ? ConnectPostgres(location, limits)
                                              : ConnectSqlite(std::string(location), limits);
    if (!connection.ok()) return connection.error();
    return MakeSqlLedger(std::move(connection).value(), std::move(hooks));
}

LedgerResult<std::unique_ptr<Ledger>> OpenLedger(std::string_view location, LedgerHooks hooks,
                                                 WaitLimits limits) {
    auto opened = OpenBatchLedger(location, std::move(hooks), std::move(limits));
    if (!opened.ok()) return opened.error();
    return std::unique_ptr<Ledger>(std::move(opened).value());
}

std::string DefaultLedgerPath() {
    // The XDG rules ignore a relative XDG_DATA_HOME.
    const char* data = std::getenv("XDG_DATA_HOME");
    if (data && data[0] == '/') return std::string(data) + "/imgdl/ledger.sqlite";
    const char* home = std::getenv("HOME");
    std::string base = home && home[0] ? home : "";
    if (base.empty()) {
        if (const passwd* pw = ::getpwuid(::getuid()); pw && pw->pw_dir) base = pw->pw_dir;
    }
    return base + "/.local/share/imgdl/ledger.sqlite";
}

std::string StationName() {
    char name[256] = {};
    if (::gethostname(name, sizeof name - 1) != 0) return "unknown";
    return name;
}

}  // namespace imgdl::ledger

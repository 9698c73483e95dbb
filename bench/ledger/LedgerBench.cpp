// Allocations per second on each back end with 1 and 4 writers (each writer a thread with
// a connection of its own), every allocation a committed transaction as in production.
//   ledger_bench [SECONDS]      PostgreSQL too when IMGDL_TEST_PG_URI is set
//                               (scripts/with-postgres build/bin/ledger_bench)
#include <libpq-fe.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "ledger/Ledger.h"
#include "support/PgServer.h"

namespace {

using namespace imgdl::ledger;
using imgdl::test::RunOnServer;
using imgdl::test::WithSchema;
using Clock = std::chrono::steady_clock;

// Allocations per second over `seconds` with `writers` connections; -1 on a failure.
double Measure(const std::string& location, int writers, double seconds) {
    auto setup = OpenLedger(location);
    if (!setup.ok() || setup.value()->init("0012AB000000", "0012ABFFFFFF", 1).failed()) return -1;
    std::atomic<long> total{0};
    std::atomic<bool> failed{false};
    const auto until = Clock::now() + std::chrono::duration<double>(seconds);
    std::vector<std::thread> threads;
    const auto start = Clock::now();
    for (int w = 0; w < writers; ++w) {
        threads.emplace_back([&] {
            auto ledger = OpenLedger(location);
            if (!ledger.ok()) {
                failed = true;
                return;
            }
            const AllocationRequest request{"127.0.0.1:5000", "identity", "", "", "bench", "", ""};
            while (Clock::now() < until) {
                const auto a = ledger.value()->allocate(request);
                if (!a.ok()) {
                    std::fprintf(stderr, "%s\n", a.error().message.c_str());
                    failed = true;
                    return;
                }
                ++total;
            }
        });
    }
    for (auto& t : threads) t.join();
    const double elapsed = std::chrono::duration<double>(Clock::now() - start).count();
    return failed ? -1 : static_cast<double>(total) / elapsed;
}

void Report(const char* backend, int writers, double rate) {
    if (rate < 0)
        std::printf("%-10s %d writer%s  failed\n", backend, writers, writers > 1 ? "s" : " ");
    else
        std::printf("%-10s %d writer%s  %8.0f allocations/s\n", backend, writers,
                    writers > 1 ? "s" : " ", rate);
    std::fflush(stdout);
}

}  // namespace

int main(int argc, char** argv) {
    const double seconds = argc > 1 ? std::atof(argv[1]) : 3.0;
    const auto dir = std::filesystem::temp_directory_path() /
                     ("imgdl-ledger-bench-" + std::to_string(::getpid()));
    std::filesystem::create_directories(dir);
    for (int writers : {1, 4}) {
        const auto file = dir / ("ledger-" + std::to_string(writers) + ".sqlite");
        Report("sqlite", writers, Measure(file.string(), writers, seconds));
    }
    std::filesystem::remove_all(dir);

    const char* server = std::getenv("IMGDL_TEST_PG_URI");
    if (!server) {
        std::printf("postgresql skipped: IMGDL_TEST_PG_URI is not set (scripts/with-postgres)\n");
        return 0;
    }
    for (int writers : {1, 4}) {
        const std::string schema = "ledger_bench_" + std::to_string(writers);
        RunOnServer(server, "DROP SCHEMA IF EXISTS " + schema + " CASCADE");
        if (!RunOnServer(server, "CREATE SCHEMA " + schema)) {
            Report("postgresql", writers, -1);
            continue;
        }
        Report("postgresql", writers, Measure(WithSchema(server, schema), writers, seconds));
        RunOnServer(server, "DROP SCHEMA " + schema + " CASCADE");
    }
    return 0;
}

// ledger-stress: allocates from a ledger in a process of its own, so that tests can run
// several writers at once and kill one at a chosen instant.
//   ledger-stress LOCATION allocate N   N allocations, one "MAC SERIAL" line each
//   ledger-stress LOCATION hold         one allocation that prints "holding" inside its
//                                       transaction, before the commit, and waits there
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>

#include "ledger/Ledger.h"
#include "ledger/MacRange.h"

namespace {

using namespace imgdl::ledger;

int Fail(const std::string& message) {
    std::fprintf(stderr, "ledger-stress: %s\n", message.c_str());
    return 1;
}

AllocationRequest Request() {
    return {"127.0.0.1:5000", "identity", "", "", "stress-" + std::to_string(::getpid()), "", ""};
}

int Allocate(Ledger& ledger, long count) {
    for (long i = 0; i < count; ++i) {
        const auto a = ledger.allocate(Request());
        if (!a.ok()) return Fail(a.error().message);
        std::printf("%s %u\n", FormatMac48(a.value().mac).c_str(), a.value().serial);
        std::fflush(stdout);
    }
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 3) return Fail("usage: ledger-stress LOCATION allocate N | hold");
    const std::string_view mode = argv[2];
    LedgerHooks hooks;
    if (mode == "hold") {
        hooks.beforeAllocationCommit = [] {
            std::printf("holding\n");
            std::fflush(stdout);
            for (;;) ::pause();
        };
    }
    auto ledger = OpenLedger(argv[1], std::move(hooks));
    if (!ledger.ok()) return Fail(ledger.error().message);
    if (mode == "hold") return Allocate(*ledger.value(), 1);
    if (mode == "allocate" && argc == 4) return Allocate(*ledger.value(), std::atol(argv[3]));
    return Fail("usage: ledger-stress LOCATION allocate N | hold");
}

// Several processes on one ledger, and processes killed in the middle: no MAC or serial
// twice, no gap, on SQLite and on PostgreSQL.
#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <set>
#include <thread>

#include "LedgerTestSupport.h"
#include "ledger/Ledger.h"
#include "ledger/MacRange.h"
#include "support/HelperProcess.h"

namespace imgdl::ledger {
namespace {

using test::Backend;
using test::HelperProcess;
using test::ScratchLedger;

constexpr std::uint64_t kFirst = 0x0012AB000000;
constexpr std::uint32_t kSerial = 70000;

class LedgerConcurrencyTest : public testing::TestWithParam<Backend> {
  protected:
    void SetUp() override {
        scratch_ = std::make_unique<ScratchLedger>(GetParam());
        if (scratch_->location().empty()) GTEST_SKIP() << scratch_->skipReason();
        auto opened = OpenLedger(scratch_->location());
        ASSERT_TRUE(opened.ok()) << opened.error().message;
        ledger_ = std::move(opened).value();
        const LedgerError e = ledger_->init(FormatMac48(kFirst), "0012AB0FFFFF", kSerial);
        ASSERT_FALSE(e.failed()) << e.message;
    }

    std::unique_ptr<HelperProcess> helper(std::vector<std::string> args) {
        args.insert(args.begin(), {IMGDL_LEDGER_STRESS, scratch_->location()});
        auto h = std::make_unique<HelperProcess>(std::move(args));
        EXPECT_TRUE(h->started());
        return h;
    }

    // Every row holds one slot, and together they are exactly slots 0..n-1.
    void expectNoGapNoDuplicate() {
        const auto units = ledger_->list();
        ASSERT_TRUE(units.ok()) << units.error().message;
        std::vector<std::uint64_t> slots;
        for (const UnitRecord& u : units.value()) {
            EXPECT_EQ(u.serial - kSerial, u.mac - kFirst) << FormatMac48(u.mac);
            slots.push_back(u.mac - kFirst);
        }
        std::sort(slots.begin(), slots.end());
        for (std::size_t i = 0; i < slots.size(); ++i) ASSERT_EQ(slots[i], i);
        const auto s = ledger_->status();
        ASSERT_TRUE(s.ok());
        EXPECT_EQ(s.value().used, slots.size());
        EXPECT_EQ(s.value().nextMac, kFirst + slots.size());
    }

    std::unique_ptr<ScratchLedger> scratch_;
    std::unique_ptr<Ledger> ledger_;
};

TEST_P(LedgerConcurrencyTest, FourProcessesGetDistinctNumbers) {
    constexpr int kWriters = 4;
    constexpr int kEach = 50;
    std::vector<std::unique_ptr<HelperProcess>> writers;
    for (int i = 0; i < kWriters; ++i)
        writers.push_back(helper({"allocate", std::to_string(kEach)}));
    std::set<std::string> macs;
    std::set<std::string> serials;
    for (auto& w : writers) {
        const auto lines = w->readAllLines();
        EXPECT_EQ(w->wait(), 0);
        EXPECT_EQ(lines.size(), static_cast<std::size_t>(kEach));
        for (const std::string& line : lines) {
            macs.insert(line.substr(0, 12));
            serials.insert(line.substr(13));
        }
    }
    EXPECT_EQ(macs.size(), static_cast<std::size_t>(kWriters * kEach));
    EXPECT_EQ(serials.size(), static_cast<std::size_t>(kWriters * kEach));
    expectNoGapNoDuplicate();
}

TEST_P(LedgerConcurrencyTest, ProcessKilledInsideAllocationLeavesNoTrace) {
    for (int i = 0; i < 2; ++i) ASSERT_TRUE(ledger_->allocate({}).ok());
    auto holder = helper({"hold"});
    // The helper has written its row and sits before the commit.
    ASSERT_EQ(holder->readLine(), "holding");
    holder->sendSignal(SIGKILL);
    EXPECT_EQ(holder->wait(), 128 + SIGKILL);
    // The next process goes on where the ledger was, waiting for no lock.
    auto next = helper({"allocate", "1"});
    EXPECT_EQ(next->readLine(), FormatMac48(kFirst + 2) + " " + std::to_string(kSerial + 2));
    EXPECT_EQ(next->wait(), 0);
    EXPECT_EQ(ledger_->list().value().size(), 3u);
    expectNoGapNoDuplicate();
}

TEST_P(LedgerConcurrencyTest, ProcessesKilledAtAnyInstantLeaveNoGap) {
    // Kill instants spread over the allocation loop: before, inside and after commits.
    for (int delayMs : {3, 17, 29, 41, 53, 67, 79, 97}) {
        auto writer = helper({"allocate", "1000000"});
        writer->readLine();  // started: at least one allocation is through
        std::this_thread::sleep_for(std::chrono::milliseconds(delayMs));
        writer->sendSignal(SIGKILL);
        EXPECT_EQ(writer->wait(), 128 + SIGKILL);
    }
    // A server may still be finishing a killed writer's COMMIT; the next allocation waits
    // for the range lock behind it, so it goes first.
    const auto a = ledger_->allocate({});
    ASSERT_TRUE(a.ok()) << a.error().message;
    expectNoGapNoDuplicate();
    EXPECT_EQ(a.value().mac, kFirst + ledger_->list().value().size() - 1);
}

INSTANTIATE_TEST_SUITE_P(Backends, LedgerConcurrencyTest,
                         testing::Values(Backend::Sqlite, Backend::Postgres), test::BackendName);

}  // namespace
}  // namespace imgdl::ledger

// Many threads on one group-commit ledger connection: what each is told is what the
// ledger holds, whichever operations share a commit.
#include <gtest/gtest.h>

#include <set>
#include <thread>

#include "LedgerTestSupport.h"
#include "ledger/GroupLedger.h"
#include "ledger/MacRange.h"

namespace imgdl::ledger {
namespace {

using test::Backend;
using test::ScratchLedger;

constexpr std::uint64_t kFirst = 0x0012AB000000;

class GroupLedgerTest : public testing::TestWithParam<Backend> {
  protected:
    void SetUp() override {
        scratch_ = std::make_unique<ScratchLedger>(GetParam());
        if (scratch_->location().empty()) GTEST_SKIP() << scratch_->skipReason();
        auto opened = OpenGroupLedger(scratch_->location());
        ASSERT_TRUE(opened.ok()) << opened.error().message;
        ledger_ = opened.value();
        ASSERT_FALSE(ledger_->init(FormatMac48(kFirst), FormatMac48(kFirst + 255), 1).failed());
    }
    static AllocationRequest Request(const std::string& kind) {
        return {"127.0.0.1:5000", kind, "", "", "station-1", "p", ""};
    }

    std::unique_ptr<ScratchLedger> scratch_;
    std::shared_ptr<Ledger> ledger_;
};

// A station's ports at once: numbers, rows without numbers and refused changes mixed, so
// that batches hold successes and failures side by side.
TEST_P(GroupLedgerTest, EachThreadIsToldWhatTheLedgerHolds) {
    const auto closed = ledger_->allocate(Request("identity"));
    ASSERT_TRUE(closed.ok());
    ASSERT_FALSE(ledger_->finish(closed.value().id, Outcome::Done, "").failed());
    constexpr int kThreads = 24, kRounds = 4;
    struct Told {
        std::vector<Allocation> done, released;
        int refused = 0, errors = 0;
    };
    std::vector<Told> told(kThreads);
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t)
        threads.emplace_back([&, t] {
            for (int round = 0; round < kRounds; ++round) {
                // A release of a finished unit is refused, and must spoil nothing else.
                const auto e = ledger_->release(closed.value().id, "again");
                told[t].refused += e.code == LedgerErrc::UnitClosed;
                const bool numbered = (t + round) % 3 != 0;
                const auto a = numbered ? ledger_->allocate(Request("identity"))
                                        : ledger_->recordUnnumbered(Request("app"));
                if (!a.ok()) {
                    ++told[t].errors;
                    continue;
                }
                if (round % 2 == 0) {
                    told[t].errors += ledger_->release(a.value().id, "refused").failed();
                    told[t].released.push_back(a.value());
                    continue;
                }
                told[t].errors += ledger_->markUncertain(a.value().id, "payload started").failed();
                told[t].errors += ledger_->finish(a.value().id, Outcome::Done, "").failed();
                told[t].done.push_back(a.value());
            }
        });
    for (auto& thread : threads) thread.join();

    std::set<std::int64_t> doneIds, releasedIds;
    std::set<std::uint64_t> doneMacs;
    for (const Told& t : told) {
        EXPECT_EQ(t.errors, 0);
        EXPECT_EQ(t.refused, kRounds);
        for (const Allocation& a : t.done) {
            doneIds.insert(a.id);
            if (a.numbered) {
                EXPECT_TRUE(doneMacs.insert(a.mac).second) << FormatMac48(a.mac);
            }
        }
        for (const Allocation& a : t.released) releasedIds.insert(a.id);
    }
    const auto rows = ledger_->list();
    ASSERT_TRUE(rows.ok()) << rows.error().message;
    ASSERT_EQ(rows.value().size(), 1u + kThreads * kRounds);
    for (const UnitRecord& row : rows.value()) {
        if (row.id == closed.value().id) continue;
        const bool done = doneIds.count(row.id) > 0;
        EXPECT_EQ(row.result, done ? UnitResult::Done : UnitResult::Released) << row.id;
        EXPECT_TRUE(done || releasedIds.count(row.id)) << row.id;
    }
    const auto s = ledger_->status();
    ASSERT_TRUE(s.ok());
    EXPECT_EQ(s.value().done, 1u + doneMacs.size());
}

// A change whose transaction cannot commit is never reported as made, nor is any other
// change of the same commit; the others are. A deferred constraint makes the commit
// itself fail, which only PostgreSQL offers.
TEST_P(GroupLedgerTest, AFailedCommitFailsEveryChangeInIt) {
    if (GetParam() != Backend::Postgres) GTEST_SKIP() << "needs a constraint checked at commit";
    ASSERT_TRUE(test::RunOnServer(
        scratch_->location(),
        "CREATE FUNCTION refuse_poison() RETURNS trigger AS $$ BEGIN"
        " IF NEW.kind = 'poison' THEN RAISE EXCEPTION 'poisoned'; END IF; RETURN NEW; END $$"
        " LANGUAGE plpgsql;"
        " CREATE CONSTRAINT TRIGGER poison AFTER INSERT ON unit DEFERRABLE INITIALLY DEFERRED"
        " FOR EACH ROW EXECUTE FUNCTION refuse_poison()"));
    constexpr int kThreads = 16;
    std::vector<std::optional<Allocation>> told(kThreads);
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t)
        threads.emplace_back([&, t] {
            const auto a = ledger_->allocate(Request(t % 4 == 0 ? "poison" : "identity"));
            if (a.ok()) told[t] = a.value();
        });
    for (auto& thread : threads) thread.join();
    const auto rows = ledger_->list();
    ASSERT_TRUE(rows.ok()) << rows.error().message;
    std::set<std::int64_t> held;
    for (const UnitRecord& row : rows.value()) held.insert(row.id);
    std::size_t ok = 0;
    for (int t = 0; t < kThreads; ++t) {
        if (t % 4 == 0) {
            EXPECT_FALSE(told[t]) << t;
        }
        if (told[t]) {
            EXPECT_TRUE(held.count(told[t]->id)) << t;
        }
        ok += told[t].has_value();
    }
    EXPECT_EQ(held.size(), ok);
}

INSTANTIATE_TEST_SUITE_P(Backends, GroupLedgerTest,
                         testing::Values(Backend::Sqlite, Backend::Postgres), test::BackendName);

}  // namespace
}  // namespace imgdl::ledger

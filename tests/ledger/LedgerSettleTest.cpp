// What a person decides of units a run left allocated or uncertain, and the schema step
// that brought the void result and the units' history: on SQLite and on PostgreSQL.
#include <gtest/gtest.h>

#include "LedgerTestSupport.h"
#include "ledger/Ledger.h"
#include "ledger/LedgerSchema.h"
#include "ledger/MacRange.h"
#include "support/PgServer.h"

#include <sqlite3.h>

namespace imgdl::ledger {
namespace {

using test::Backend;
using test::ScratchLedger;

constexpr std::uint64_t kFirst = 0x0012AB000000;

class LedgerSettle : public testing::TestWithParam<Backend> {
  protected:
    void SetUp() override {
        scratch_ = std::make_unique<ScratchLedger>(GetParam());
        if (scratch_->location().empty()) GTEST_SKIP() << scratch_->skipReason();
        auto opened = OpenLedger(scratch_->location());
        ASSERT_TRUE(opened.ok()) << opened.error().message;
        ledger_ = std::move(opened).value();
        ASSERT_FALSE(ledger_->init(FormatMac48(kFirst), FormatMac48(kFirst + 63), 1).failed());
    }
    Allocation allocate() {
        auto a = ledger_->allocate({"127.0.0.1:5000", "identity", "", "", "station-1", "", ""});
        EXPECT_TRUE(a.ok()) << a.error().message;
        return a.ok() ? a.value() : Allocation{};
    }
    UnitRecord row(std::int64_t id) {
        auto rows = ledger_->list();
        EXPECT_TRUE(rows.ok()) << rows.error().message;
        for (const auto& u : rows.value())
            if (u.id == id) return u;
        ADD_FAILURE() << "no row " << id;
        return {};
    }
    std::unique_ptr<ScratchLedger> scratch_;
    std::unique_ptr<Ledger> ledger_;
};

TEST_P(LedgerSettle, DecisionsFollowTheRules) {
    const struct {
        const char* name;
        bool uncertain;  // the unit was marked before its payload
        SettleAs as;
        LedgerErrc expected;
        UnitResult after;
        bool numberFreed;  // the next allocation gets the same number
    } cases[] = {
        {"allocated, done", false, SettleAs::Done, LedgerErrc::Ok, UnitResult::Done, false},
        {"allocated, void", false, SettleAs::Void, LedgerErrc::Ok, UnitResult::Void, false},
        {"allocated, released", false, SettleAs::Released, LedgerErrc::Ok, UnitResult::Released,
         true},
        {"uncertain, done", true, SettleAs::Done, LedgerErrc::Ok, UnitResult::Done, false},
        {"uncertain, void", true, SettleAs::Void, LedgerErrc::Ok, UnitResult::Void, false},
        {"uncertain, released", true, SettleAs::Released, LedgerErrc::UnitClosed,
         UnitResult::Uncertain, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const Allocation unit = allocate();
        if (c.uncertain) {
            ASSERT_FALSE(ledger_->markUncertain(unit.id, "payload started").failed());
        }
        EXPECT_EQ(ledger_->settle(unit.mac, c.as, "looked at it", "tester").code, c.expected);
        EXPECT_EQ(row(unit.id).result, c.after);
        const Allocation next = allocate();
        EXPECT_EQ(next.mac == unit.mac, c.numberFreed);
        // Out of the way of the next case.
        ASSERT_FALSE(ledger_->finish(next.id, Outcome::Done, "").failed());
        if (c.after == UnitResult::Uncertain) {
            ASSERT_FALSE(ledger_->finish(unit.id, Outcome::Done, "").failed());
        }
    }
    // A unit that ended is not waiting for anyone.
    const Allocation done = allocate();
    ASSERT_FALSE(ledger_->finish(done.id, Outcome::Done, "").failed());
    EXPECT_EQ(ledger_->settle(done.mac, SettleAs::Void, "x", "tester").code,
              LedgerErrc::NoSuchUnit);
}

TEST_P(LedgerSettle, CausesAndDecisionsAreKept) {
    const Allocation unit = allocate();
    ASSERT_FALSE(ledger_
                     ->markUncertain(unit.id, "Can't write a firmware.",
                                     "first acknowledgement: connection closed by the recorder")
                     .failed());
    EXPECT_EQ(row(unit.id).cause, "first acknowledgement: connection closed by the recorder");
    ASSERT_FALSE(ledger_->settle(unit.mac, SettleAs::Void, "label burnt", "tester").failed());
    const UnitRecord after = row(unit.id);
    EXPECT_EQ(after.result, UnitResult::Void);
    EXPECT_EQ(after.message, "settled: label burnt");
    EXPECT_FALSE(after.ended.empty());
    const auto s = ledger_->status();
    ASSERT_TRUE(s.ok());
    EXPECT_EQ(s.value().voided, 1u);
    EXPECT_EQ(s.value().used, 1u);
}

// Statements run on the ledger's database from outside, as an older program left it.
bool RunOn(const ScratchLedger& scratch, const std::string& sql) {
    if (scratch.backend() == Backend::Postgres) return test::RunOnServer(scratch.location(), sql);
    sqlite3* db = nullptr;
    const bool ok = sqlite3_open(scratch.location().c_str(), &db) == SQLITE_OK &&
                    sqlite3_exec(db, sql.c_str(), nullptr, nullptr, nullptr) == SQLITE_OK;
    sqlite3_close(db);
    return ok;
}

// A version-1 ledger as the program before this one made it: 64 MACs, two units.
void MakeVersion1(const ScratchLedger& scratch) {
    const bool pg = scratch.backend() == Backend::Postgres;
    const std::string id = pg ? "id BIGINT GENERATED ALWAYS AS IDENTITY PRIMARY KEY"
                              : "id INTEGER PRIMARY KEY AUTOINCREMENT";
    for (const std::string& sql :
         {std::string("CREATE TABLE ledger_range (id INTEGER PRIMARY KEY CHECK (id = 1),"
                      " schema_version INTEGER NOT NULL, mac_first BIGINT NOT NULL,"
                      " mac_last BIGINT NOT NULL, serial_first BIGINT NOT NULL,"
                      " next_slot BIGINT NOT NULL, created TEXT NOT NULL)"),
          "CREATE TABLE unit (" + id +
              ", slot BIGINT NOT NULL, mac TEXT NOT NULL, serial BIGINT NOT NULL,"
              " target TEXT NOT NULL, kind TEXT NOT NULL, image_sha256 TEXT NOT NULL,"
              " image_version TEXT NOT NULL, station TEXT NOT NULL, started TEXT NOT NULL,"
              " ended TEXT, result TEXT NOT NULL CHECK (result IN"
              "  ('allocated', 'done', 'failed', 'uncertain', 'released')),"
              " message TEXT NOT NULL)",
          std::string("CREATE UNIQUE INDEX unit_held_slot ON unit (slot) WHERE result <> "
                      "'released'"),
          std::string("CREATE INDEX unit_slot ON unit (slot)"),
          std::string("INSERT INTO ledger_range VALUES (1, 1, 80178315264, 80178315327,"
                      " 1, 2, '2026-01-01T00:00:00Z')"),
          std::string("INSERT INTO unit (slot, mac, serial, target, kind, image_sha256,"
                      " image_version, station, started, ended, result, message) VALUES"
                      " (0, '0012AB000000', 1, '127.0.0.1:5000', 'identity', '', '', 's',"
                      " '2026-01-01T00:00:01Z', '2026-01-01T00:00:02Z', 'done', ''),"
                      " (1, '0012AB000001', 2, '127.0.0.1:5000', 'identity', '', '', 's',"
                      " '2026-01-01T00:00:03Z', NULL, 'uncertain', 'payload started')")})
        ASSERT_TRUE(RunOn(scratch, sql)) << sql;
}

TEST_P(LedgerSettle, AVersion1LedgerIsMigratedAndANewerOneRefused) {
    ScratchLedger old(GetParam());
    MakeVersion1(old);
    {
        auto opened = OpenLedger(old.location());
        ASSERT_TRUE(opened.ok()) << opened.error().message;
        auto& ledger = *opened.value();
        auto rows = ledger.list();
        ASSERT_TRUE(rows.ok()) << rows.error().message;
        ASSERT_EQ(rows.value().size(), 2u);
        EXPECT_EQ(rows.value()[0].result, UnitResult::Done);
        EXPECT_EQ(rows.value()[1].result, UnitResult::Uncertain);
        const auto next = ledger.allocate({"127.0.0.1:5000", "identity", "", "", "s", "", ""});
        ASSERT_TRUE(next.ok()) << next.error().message;
        EXPECT_EQ(next.value().mac, kFirst + 2);
        EXPECT_GT(next.value().id, rows.value()[1].id);
        EXPECT_FALSE(ledger.settle(kFirst + 1, SettleAs::Void, "checked", "tester").failed());
    }
    // A ledger written by a newer program: refused, and left as it is.
    ASSERT_TRUE(RunOn(
        old, "UPDATE ledger_range SET schema_version = " + std::to_string(kSchemaVersion + 1)));
    auto opened = OpenLedger(old.location());
    ASSERT_TRUE(opened.ok());
    const auto refused =
        opened.value()->allocate({"127.0.0.1:5000", "identity", "", "", "s", "", ""});
    ASSERT_FALSE(refused.ok());
    EXPECT_NE(refused.error().message.find("newer"), std::string::npos) << refused.error().message;
    EXPECT_FALSE(opened.value()->list().ok());
    ASSERT_TRUE(
        RunOn(old, "UPDATE ledger_range SET schema_version = " + std::to_string(kSchemaVersion)));
    auto again = OpenLedger(old.location());
    ASSERT_TRUE(again.ok());
    EXPECT_EQ(again.value()->list().value().size(), 3u);
}

// Version 2 had no station port, found time or label count: they come in empty, and the
// counting works on the old rows.
TEST_P(LedgerSettle, AVersion2LedgerGainsPortsAndLabelCounts) {
    const Allocation old = allocate();
    ASSERT_FALSE(ledger_->finish(old.id, Outcome::Done, "").failed());
    ledger_.reset();
    for (const char* sql :
         {"ALTER TABLE unit DROP COLUMN port", "ALTER TABLE unit DROP COLUMN found",
          "ALTER TABLE unit DROP COLUMN label_prints",
          "UPDATE ledger_range SET schema_version = 2"})
        ASSERT_TRUE(RunOn(*scratch_, sql)) << sql;
    auto opened = OpenLedger(scratch_->location());
    ASSERT_TRUE(opened.ok());
    ledger_ = std::move(opened).value();
    EXPECT_EQ(row(old.id).labelPrints, 0u);
    EXPECT_EQ(row(old.id).port, "");
    const auto first = ledger_->countLabelPrint(old.id);
    ASSERT_TRUE(first.ok()) << first.error().message;
    EXPECT_EQ(first.value(), 1u);
    EXPECT_EQ(ledger_->countLabelPrint(old.id).value(), 2u);
    EXPECT_EQ(row(old.id).labelPrints, 2u);
    EXPECT_EQ(ledger_->countLabelPrint(old.id + 100).error().code, LedgerErrc::NoSuchUnit);

    const auto found = ledger_->allocate(
        {"127.0.0.1:5000", "identity", "", "", "station-1", "left", "2026-12-10T08:00:00Z"});
    ASSERT_TRUE(found.ok()) << found.error().message;
    EXPECT_EQ(row(found.value().id).port, "left");
    EXPECT_EQ(row(found.value().id).found, "2026-12-10T08:00:00Z");
    EXPECT_EQ(row(found.value().id).labelPrints, 0u);
    // ... and, once migrated, rows without numbers.
    const auto unnumbered =
        ledger_->recordUnnumbered({"127.0.0.1:5000", "app", "", "", "s", "", ""});
    ASSERT_TRUE(unnumbered.ok()) << unnumbered.error().message;
    EXPECT_FALSE(row(unnumbered.value().id).numbered);
}

// Version 4 had no index of released slots (a freed number was looked for through every
// unit): a new ledger has it, an older one gains it, and freed numbers come back as before.
TEST_P(LedgerSettle, AVersion4LedgerGainsTheIndexOfReleasedSlots) {
    // Making the index again is refused where it exists.
    const char* again = "CREATE INDEX unit_released_slot ON unit (slot)";
    EXPECT_FALSE(RunOn(*scratch_, again));
    const Allocation kept = allocate(), freed = allocate();
    ASSERT_FALSE(ledger_->finish(kept.id, Outcome::Done, "").failed());
    ASSERT_FALSE(ledger_->release(freed.id, "refused").failed());
    ledger_.reset();
    for (const char* sql :
         {"DROP INDEX unit_released_slot", "UPDATE ledger_range SET schema_version = 4"})
        ASSERT_TRUE(RunOn(*scratch_, sql)) << sql;
    auto opened = OpenLedger(scratch_->location());
    ASSERT_TRUE(opened.ok());
    ledger_ = std::move(opened).value();
    EXPECT_EQ(allocate().mac, freed.mac);
    EXPECT_EQ(allocate().mac, kFirst + 2);
    EXPECT_FALSE(RunOn(*scratch_, again));
}

// Which unit holds a MAC: the newest row that is not released.
TEST_P(LedgerSettle, TheUnitHoldingAMacIsItsNewestRowNotReleased) {
    const Allocation first = allocate();
    ASSERT_FALSE(ledger_->release(first.id, "refused").failed());
    EXPECT_FALSE(ledger_->unitHolding(first.mac).value());
    const Allocation again = allocate();  // the released number, handed out again
    ASSERT_EQ(again.mac, first.mac);
    ASSERT_FALSE(ledger_->finish(again.id, Outcome::Done, "").failed());
    const auto held = ledger_->unitHolding(first.mac);
    ASSERT_TRUE(held.ok() && held.value());
    EXPECT_EQ(held.value()->id, again.id);
    EXPECT_EQ(held.value()->result, UnitResult::Done);
    EXPECT_EQ(held.value()->serial, again.serial);
    EXPECT_FALSE(ledger_->unitHolding(kFirst + 40).value());
}

// A shift's rows: those that ended since a time, and those without an end started since.
TEST_P(LedgerSettle, RowsSinceATimeAreTheShiftsRows) {
    const Allocation done = allocate(), open = allocate();
    ASSERT_FALSE(ledger_->finish(done.id, Outcome::Done, "").failed());
    ASSERT_FALSE(ledger_->markUncertain(open.id, "payload started").failed());
    const auto all = ledger_->listSince("2000-01-01T00:00:00Z");
    ASSERT_TRUE(all.ok()) << all.error().message;
    ASSERT_EQ(all.value().size(), 2u);
    EXPECT_EQ(all.value()[0].id, done.id);
    EXPECT_EQ(all.value()[1].result, UnitResult::Uncertain);
    EXPECT_TRUE(ledger_->listSince("2999-01-01T00:00:00Z").value().empty());
}

// A row no program of this line could have written is an error, never read as allocated.
TEST_P(LedgerSettle, AnUnknownResultIsAnError) {
    allocate();
    const std::string drop = GetParam() == Backend::Postgres
                                 ? "ALTER TABLE unit DROP CONSTRAINT unit_result_check"
                                 : "PRAGMA ignore_check_constraints = ON";
    ASSERT_TRUE(RunOn(*scratch_, drop + "; UPDATE unit SET result = 'lost'"));
    auto opened = OpenLedger(scratch_->location());
    ASSERT_TRUE(opened.ok());
    const auto rows = opened.value()->list();
    ASSERT_FALSE(rows.ok());
    EXPECT_NE(rows.error().message.find("'lost'"), std::string::npos) << rows.error().message;
    EXPECT_FALSE(opened.value()->status().ok());
}

INSTANTIATE_TEST_SUITE_P(Backends, LedgerSettle,
                         testing::Values(Backend::Sqlite, Backend::Postgres), [](const auto& info) {
                             return info.param == Backend::Sqlite ? "Sqlite" : "Postgres";
                         });

}  // namespace
}  // namespace imgdl::ledger

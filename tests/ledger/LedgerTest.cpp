// The ledger's rules, the same suite on SQLite and on PostgreSQL.
#include <gtest/gtest.h>

#include <set>

#include "LedgerTestSupport.h"
#include "ledger/Ledger.h"
#include "ledger/MacRange.h"

namespace imgdl::ledger {
namespace {

using test::Backend;
using test::ScratchLedger;

constexpr std::uint64_t kFirst = 0x0012AB000000;
constexpr std::uint32_t kSerial = 5000;

AllocationRequest Unit(const std::string& target = "127.0.0.1:5000") {
    return {target, "identity", "", "", "station-1", "", ""};
}

class LedgerTest : public testing::TestWithParam<Backend> {
  protected:
    void SetUp() override {
        scratch_ = std::make_unique<ScratchLedger>(GetParam());
        if (scratch_->location().empty()) GTEST_SKIP() << scratch_->skipReason();
        ledger_ = open();
    }

    std::unique_ptr<Ledger> open() {
        auto opened = OpenLedger(scratch_->location());
        EXPECT_TRUE(opened.ok()) << opened.error().message;
        return opened.ok() ? std::move(opened).value() : nullptr;
    }

    void initWith(std::uint64_t size) {
        const LedgerError e =
            ledger_->init(FormatMac48(kFirst), FormatMac48(kFirst + size - 1), kSerial);
        ASSERT_FALSE(e.failed()) << e.message;
    }

    Allocation allocate(const std::string& target = "127.0.0.1:5000") {
        auto a = ledger_->allocate(Unit(target));
        EXPECT_TRUE(a.ok()) << a.error().message;
        return a.ok() ? a.value() : Allocation{};
    }

    // The slot a unit got: its offset in the range.
    static std::uint64_t Slot(const Allocation& a) { return a.mac - kFirst; }

    LedgerStatus status() {
        auto s = ledger_->status();
        EXPECT_TRUE(s.ok()) << s.error().message;
        return s.ok() ? s.value() : LedgerStatus{};
    }

    std::unique_ptr<ScratchLedger> scratch_;
    std::unique_ptr<Ledger> ledger_;
};

struct RangeCase {
    const char* name;
    const char* first;
    const char* last;
    std::uint64_t serial;
    LedgerErrc expected;
};

TEST_P(LedgerTest, InitChecksTheRange) {
    const RangeCase cases[] = {
        {"ok", "0012AB000000", "0012AB0000FF", 1000, LedgerErrc::Ok},
        {"lower case", "0012ab000000", "0012ab0000ff", 1000, LedgerErrc::Ok},
        {"one address", "0012AB000000", "0012AB000000", 1000, LedgerErrc::Ok},
        {"last serial", "0012AB000000", "0012AB000000", 4294967295, LedgerErrc::Ok},
        {"first above last", "0012AB000001", "0012AB000000", 1000, LedgerErrc::InvalidRange},
        {"11 digits", "0012AB00000", "0012AB0000FF", 1000, LedgerErrc::InvalidRange},
        {"13 digits", "0012AB000000", "0012AB0000FF0", 1000, LedgerErrc::InvalidRange},
        {"not hex", "0012AB00000G", "0012AB0000FF", 1000, LedgerErrc::InvalidRange},
        {"separators", "00:12:AB:00:00", "0012AB0000FF", 1000, LedgerErrc::InvalidRange},
        {"multicast first octet", "0112AB000000", "0112AB0000FF", 1000, LedgerErrc::InvalidRange},
        {"crosses into a multicast octet", "00FFFFFFFF00", "0200000000FF", 1000,
         LedgerErrc::InvalidRange},
        {"crosses two even octets", "02FFFFFFFFF0", "040000000010", 1000, LedgerErrc::InvalidRange},
        {"all-zero", "000000000000", "0000000000FF", 1000, LedgerErrc::InvalidRange},
        {"broadcast", "FEFFFFFFFF00", "FFFFFFFFFFFF", 1000, LedgerErrc::InvalidRange},
        {"serials past 32 bits", "0012AB000000", "0012AB000001", 4294967295,
         LedgerErrc::InvalidRange},
    };
    for (const RangeCase& c : cases) {
        SCOPED_TRACE(c.name);
        ScratchLedger scratch(GetParam());
        ASSERT_FALSE(scratch.location().empty());
        auto ledger = OpenLedger(scratch.location());
        ASSERT_TRUE(ledger.ok()) << ledger.error().message;
        const LedgerError e = ledger.value()->init(c.first, c.last, c.serial);
        EXPECT_EQ(e.code, c.expected) << e.message;
        // A refused range leaves no ledger behind.
        auto s = ledger.value()->status();
        EXPECT_EQ(s.ok(), c.expected == LedgerErrc::Ok) << s.error().message;
        if (!s.ok()) {
            EXPECT_EQ(s.error().code, LedgerErrc::NotInitialised);
        }
    }
}

TEST_P(LedgerTest, SecondInitIsRefusedAndKeepsTheFirst) {
    initWith(16);
    allocate();
    const LedgerError e = ledger_->init("0012AC000000", "0012AC0000FF", 1);
    EXPECT_EQ(e.code, LedgerErrc::AlreadyExists) << e.message;
    // Also from another connection.
    EXPECT_EQ(open()->init("0012AC000000", "0012AC0000FF", 1).code, LedgerErrc::AlreadyExists);
    const LedgerStatus s = status();
    EXPECT_EQ(s.macFirst, kFirst);
    EXPECT_EQ(s.used, 1u);
}

TEST_P(LedgerTest, EveryOperationNeedsInit) {
    EXPECT_EQ(ledger_->allocate(Unit()).error().code, LedgerErrc::NotInitialised);
    EXPECT_EQ(ledger_->status().error().code, LedgerErrc::NotInitialised);
    EXPECT_EQ(ledger_->list().error().code, LedgerErrc::NotInitialised);
    EXPECT_EQ(ledger_->release(1, "").code, LedgerErrc::NotInitialised);
    // Looking at a mistyped path must not leave a file there.
    if (GetParam() == Backend::Sqlite) {
        EXPECT_FALSE(std::filesystem::exists(scratch_->location()));
    }
}

TEST_P(LedgerTest, AllocatesInOrderWithPairedSerials) {
    initWith(16);
    std::set<std::int64_t> ids;
    for (std::uint64_t k = 0; k < 3; ++k) {
        const Allocation a = allocate();
        EXPECT_EQ(a.mac, kFirst + k);
        EXPECT_EQ(a.serial, kSerial + k);
        ids.insert(a.id);
    }
    EXPECT_EQ(ids.size(), 3u);
}

TEST_P(LedgerTest, ExhaustedRangeAllocatesNothing) {
    initWith(2);
    allocate();
    allocate();
    const auto third = ledger_->allocate(Unit());
    ASSERT_FALSE(third.ok());
    EXPECT_EQ(third.error().code, LedgerErrc::Exhausted) << third.error().message;
    EXPECT_EQ(ledger_->list().value().size(), 2u);
    const LedgerStatus s = status();
    EXPECT_EQ(s.used, 2u);
    EXPECT_EQ(s.free, 0u);
    EXPECT_TRUE(s.exhausted);
}

TEST_P(LedgerTest, ReleasedNumbersComeBackLowestFirst) {
    initWith(8);
    std::vector<Allocation> a;
    for (int i = 0; i < 4; ++i) a.push_back(allocate());
    ASSERT_FALSE(ledger_->release(a[2].id, "connect refused").failed());
    ASSERT_FALSE(ledger_->release(a[1].id, "handshake").failed());
    EXPECT_EQ(Slot(allocate()), 1u);
    EXPECT_EQ(Slot(allocate()), 2u);
    EXPECT_EQ(Slot(allocate()), 4u);
    // The released rows stay for the history.
    const auto units = ledger_->list().value();
    ASSERT_EQ(units.size(), 7u);
    EXPECT_EQ(units[1].result, UnitResult::Released);
    EXPECT_EQ(units[1].message, "handshake");
    EXPECT_EQ(units[2].result, UnitResult::Released);
}

TEST_P(LedgerTest, ReleasedNumberServesAnExhaustedRange) {
    initWith(2);
    const Allocation first = allocate();
    allocate();
    ASSERT_FALSE(ledger_->release(first.id, "incompatible").failed());
    EXPECT_FALSE(status().exhausted);
    const Allocation again = allocate();
    EXPECT_EQ(again.mac, first.mac);
    EXPECT_EQ(again.serial, first.serial);
    EXPECT_NE(again.id, first.id);
}

TEST_P(LedgerTest, UncertainAndFinishedNumbersAreNeverReused) {
    initWith(8);
    const Allocation uncertain = allocate();
    const Allocation failed = allocate();
    const Allocation done = allocate();
    ASSERT_FALSE(ledger_->markUncertain(uncertain.id, "closed during payload").failed());
    ASSERT_FALSE(ledger_->finish(failed.id, Outcome::Failed, "Can't write a firmware.").failed());
    ASSERT_FALSE(ledger_->finish(done.id, Outcome::Done, "").failed());
    EXPECT_EQ(Slot(allocate()), 3u);
    EXPECT_EQ(ledger_->release(uncertain.id, "").code, LedgerErrc::UnitClosed);
    EXPECT_EQ(Slot(allocate()), 4u);
}

struct ChangeCase {
    const char* name;
    std::optional<UnitResult> before;  // nullopt: no such unit
    const char* change;
    LedgerErrc expected;
};

TEST_P(LedgerTest, StateChangesFollowTheRules) {
    const ChangeCase cases[] = {
        {"release allocated", UnitResult::Allocated, "release", LedgerErrc::Ok},
        {"release released", UnitResult::Released, "release", LedgerErrc::UnitClosed},
        {"release uncertain", UnitResult::Uncertain, "release", LedgerErrc::UnitClosed},
        {"release done", UnitResult::Done, "release", LedgerErrc::UnitClosed},
        {"uncertain again", UnitResult::Uncertain, "uncertain", LedgerErrc::Ok},
        {"uncertain after done", UnitResult::Done, "uncertain", LedgerErrc::UnitClosed},
        {"uncertain after release", UnitResult::Released, "uncertain", LedgerErrc::UnitClosed},
        {"finish uncertain", UnitResult::Uncertain, "done", LedgerErrc::Ok},
        {"finish twice", UnitResult::Failed, "done", LedgerErrc::UnitClosed},
        {"finish released", UnitResult::Released, "failed", LedgerErrc::UnitClosed},
        {"unknown unit", std::nullopt, "release", LedgerErrc::NoSuchUnit},
        {"unknown unit finished", std::nullopt, "done", LedgerErrc::NoSuchUnit},
    };
    initWith(64);
    auto apply = [&](std::int64_t id, std::string_view change) {
        if (change == "release") return ledger_->release(id, change);
        if (change == "uncertain") return ledger_->markUncertain(id, change);
        return ledger_->finish(id, change == "done" ? Outcome::Done : Outcome::Failed, change);
    };
    for (const ChangeCase& c : cases) {
        SCOPED_TRACE(c.name);
        std::int64_t id = 999999;
        if (c.before) {
            id = allocate().id;
            if (*c.before != UnitResult::Allocated) {
                ASSERT_FALSE(apply(id, UnitResultName(*c.before)).failed());
            }
        }
        EXPECT_EQ(apply(id, c.change).code, c.expected);
    }
}

TEST_P(LedgerTest, StatusCountsAndWarnsBelowATenth) {
    initWith(20);
    std::vector<Allocation> a;
    for (int i = 0; i < 18; ++i) a.push_back(allocate());
    ASSERT_FALSE(ledger_->finish(a[0].id, Outcome::Done, "").failed());
    ASSERT_FALSE(ledger_->finish(a[1].id, Outcome::Failed, "x").failed());
    ASSERT_FALSE(ledger_->markUncertain(a[2].id, "x").failed());
    ASSERT_FALSE(ledger_->release(a[3].id, "x").failed());
    LedgerStatus s = status();
    EXPECT_EQ(s.size, 20u);
    EXPECT_EQ(s.used, 17u);
    EXPECT_EQ(s.free, 3u);
    EXPECT_EQ(s.done, 1u);
    EXPECT_EQ(s.failed, 1u);
    EXPECT_EQ(s.uncertain, 1u);
    EXPECT_EQ(s.released, 1u);
    EXPECT_EQ(s.allocated, 14u);
    EXPECT_EQ(s.nextMac, kFirst + 3);  // the released one
    EXPECT_EQ(s.nextSerial, kSerial + 3);
    EXPECT_FALSE(s.low);
    allocate();
    s = status();
    EXPECT_EQ(s.free, 2u);  // exactly a tenth left
    EXPECT_EQ(s.nextMac, kFirst + 18);
    EXPECT_FALSE(s.low);
    allocate();
    s = status();
    EXPECT_EQ(s.free, 1u);
    EXPECT_TRUE(s.low);
    EXPECT_FALSE(s.exhausted);
}

TEST_P(LedgerTest, ListShowsEveryField) {
    initWith(16);
    const AllocationRequest request{
        "127.0.0.1:5001", "integrated", std::string(64, 'a'), "1.2.3", "line-2", "", ""};
    const auto a = ledger_->allocate(request);
    ASSERT_TRUE(a.ok()) << a.error().message;
    ASSERT_FALSE(
        ledger_->finish(a.value().id, Outcome::Failed, "Can't write a firmware.").failed());
    const auto units = ledger_->list();
    ASSERT_TRUE(units.ok()) << units.error().message;
    ASSERT_EQ(units.value().size(), 1u);
    const UnitRecord& u = units.value()[0];
    EXPECT_EQ(u.id, a.value().id);
    EXPECT_EQ(u.mac, kFirst);
    EXPECT_EQ(u.serial, kSerial);
    EXPECT_EQ(u.target, "127.0.0.1:5001");
    EXPECT_EQ(u.kind, "integrated");
    EXPECT_EQ(u.imageSha256, std::string(64, 'a'));
    EXPECT_EQ(u.imageVersion, "1.2.3");
    EXPECT_EQ(u.station, "line-2");
    EXPECT_EQ(u.result, UnitResult::Failed);
    EXPECT_EQ(u.message, "Can't write a firmware.");
    EXPECT_EQ(u.started.size(), 20u) << u.started;  // 2024-05-01T12:34:56Z
    EXPECT_EQ(u.ended.size(), 20u) << u.ended;
    EXPECT_LE(u.started, u.ended);
}

// A unit sent an image alone has a row of its own, with no numbers: it never takes or
// holds a slot, and the counts of numbers leave it out.
TEST_P(LedgerTest, UnnumberedRowsHoldNoNumbers) {
    initWith(4);
    AllocationRequest app = Unit();
    app.kind = "app";
    const auto done = ledger_->recordUnnumbered(app), broken = ledger_->recordUnnumbered(app),
               refused = ledger_->recordUnnumbered(app);
    ASSERT_TRUE(done.ok() && broken.ok() && refused.ok()) << done.error().message;
    EXPECT_FALSE(done.value().numbered);
    ASSERT_FALSE(ledger_->markUncertain(done.value().id, "payload started").failed());
    ASSERT_FALSE(ledger_->finish(done.value().id, Outcome::Done, "").failed());
    ASSERT_FALSE(ledger_->finish(broken.value().id, Outcome::Failed, "cut").failed());
    ASSERT_FALSE(ledger_->release(refused.value().id, "refused").failed());
    EXPECT_EQ(Slot(allocate()), 0u);

    const LedgerStatus s = status();
    EXPECT_EQ(s.used, 1u);
    EXPECT_EQ(s.free, 3u);
    EXPECT_EQ(s.done, 0u);
    EXPECT_EQ(s.released, 0u);
    EXPECT_EQ(s.unnumbered, 3u);
    EXPECT_EQ(s.nextMac, kFirst + 1);
    const auto rows = ledger_->list();
    ASSERT_TRUE(rows.ok()) << rows.error().message;
    ASSERT_EQ(rows.value().size(), 4u);
    EXPECT_FALSE(rows.value()[0].numbered);
    EXPECT_EQ(rows.value()[0].mac, 0u);
    EXPECT_EQ(rows.value()[0].result, UnitResult::Done);
    EXPECT_EQ(rows.value()[0].kind, "app");
    EXPECT_TRUE(rows.value()[3].numbered);
    EXPECT_FALSE(ledger_->unitHolding(0).value());
}

TEST_P(LedgerTest, AnotherConnectionSeesTheSameLedger) {
    initWith(16);
    allocate();
    auto other = open();
    auto a = other->allocate(Unit());
    ASSERT_TRUE(a.ok()) << a.error().message;
    EXPECT_EQ(Slot(a.value()), 1u);
    EXPECT_EQ(status().used, 2u);
}

INSTANTIATE_TEST_SUITE_P(Backends, LedgerTest, testing::Values(Backend::Sqlite, Backend::Postgres),
                         test::BackendName);

}  // namespace
}  // namespace imgdl::ledger

#include "ledger/SqlLedger.h"

#include <pwd.h>
#include <unistd.h>

#include <charconv>
#include <ctime>

#include "ledger/LedgerSchema.h"
#include "ledger/MacRange.h"

namespace imgdl::ledger {

namespace {

// UTC time of the station, to the second.
std::string NowText() {
    const std::time_t now = std::time(nullptr);
    std::tm utc{};
    gmtime_r(&now, &utc);
    char text[32];
    std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%SZ", &utc);
    return text;
}

std::int64_t ToInt(const std::optional<std::string>& text) {
    std::int64_t value = 0;
    if (text) std::from_chars(text->data(), text->data() + text->size(), value);
    return value;
}

// A whole decimal number, or false: a number read back that does not parse is an error,
// never a silent 0.
bool Number(const std::optional<std::string>& text, std::int64_t& value) {
    if (!text || text->empty()) return false;
    const auto [end, error] = std::from_chars(text->data(), text->data() + text->size(), value);
    return error == std::errc() && end == text->data() + text->size();
}

LedgerError Malformed(const std::string& what) {
    return Fail(LedgerErrc::Database, "the ledger holds a malformed value: " + what);
}

// Who changes a row by hand: the login name, for the unit's history.
std::string UserName() {
    if (const passwd* pw = ::getpwuid(::geteuid()); pw && pw->pw_name) return pw->pw_name;
    return "uid " + std::to_string(::geteuid());
}

std::string ToText(const std::optional<std::string>& text) {
    return text.value_or(std::string());
}

std::optional<UnitResult> ParseResult(std::string_view text) {
    for (const UnitResult r : {UnitResult::Allocated, UnitResult::Done, UnitResult::Failed,
                               UnitResult::Uncertain, UnitResult::Released, UnitResult::Void})
        if (UnitResultName(r) == text) return r;
    return std::nullopt;
}

constexpr std::string_view kUnitColumns =
    "SELECT id, mac, serial, target, kind, image_sha256, image_version, started, ended, result,"
    " message, station, cause, port, found, label_prints FROM unit";

// One row of kUnitColumns; a value no program of this line writes is an error.
LedgerError ParseUnitRow(const SqlRow& r, UnitRecord& u) {
    std::int64_t serial = 0, prints = 0;
    u.numbered = r[1].has_value() || r[2].has_value();
    const auto mac = u.numbered ? ParseMac48(ToText(r[1])) : std::optional<std::uint64_t>(0);
    const auto result = ParseResult(ToText(r[9]));
    const bool serialOk =
        !u.numbered || (Number(r[2], serial) && serial >= 0 && serial <= UINT32_MAX);
    if (!Number(r[0], u.id) || !mac || !serialOk || !Number(r[15], prints) || prints < 0 ||
        prints > UINT32_MAX)
        return Malformed("unit row " + ToText(r[0]));
    if (!result)
        return Malformed("unit row " + ToText(r[0]) + " has the result '" + ToText(r[9]) + "'");
    u.mac = *mac;
    u.serial = static_cast<std::uint32_t>(serial);
    u.target = ToText(r[3]);
    u.kind = ToText(r[4]);
    u.imageSha256 = ToText(r[5]);
    u.imageVersion = ToText(r[6]);
    u.started = ToText(r[7]);
    u.ended = ToText(r[8]);
    u.result = *result;
    u.message = ToText(r[10]);
    u.station = ToText(r[11]);
    u.cause = ToText(r[12]);
    u.port = ToText(r[13]);
    u.found = ToText(r[14]);
    u.labelPrints = static_cast<std::uint32_t>(prints);
    return {};
}

struct Range {
    std::uint64_t macFirst = 0;
    std::uint64_t macLast = 0;
    std::uint32_t serialFirst = 0;
    std::uint64_t nextSlot = 0;

    std::uint64_t size() const { return macLast - macFirst + 1; }
};

// Rolls back unless committed, on every path out of an operation. Inside a batch (one
// transaction around many operations) it is a savepoint: an operation that fails leaves
// the others of its batch as they were.
class Transaction {
  public:
    Transaction(SqlConnection& c, bool nested) : c_(c), nested_(nested) {}
    ~Transaction() {
        if (!open_) return;
        if (!nested_) {
            c_.exec("ROLLBACK");
        } else if (!c_.exec("ROLLBACK TO operation").failed()) {
            c_.exec("RELEASE operation");
        }
    }
    Transaction(const Transaction&) = delete;
    Transaction& operator=(const Transaction&) = delete;

    // A write transaction takes the database's write lock at once, so that two writers
    // never both read the same next slot.
    LedgerError begin(bool write) {
        LedgerError e = c_.exec(nested_ ? "SAVEPOINT operation"
                                : write ? c_.dialect().beginWrite
                                        : "BEGIN");
        open_ = !e.failed();
        return e;
    }
    LedgerError commit() {
        LedgerError e = c_.exec(nested_ ? "RELEASE operation" : "COMMIT");
        open_ = e.failed();
        return e;
    }

  private:
    SqlConnection& c_;
    bool nested_;
    bool open_ = false;
};

constexpr std::string_view kLowestFreed =
    "SELECT min(r.slot) FROM unit r WHERE r.result = 'released' AND NOT EXISTS"
    " (SELECT 1 FROM unit h WHERE h.slot = r.slot AND h.result <> 'released')";

class SqlLedger final : public BatchLedger {
  public:
    SqlLedger(std::unique_ptr<SqlConnection> c, LedgerHooks hooks)
        : c_(std::move(c)), hooks_(std::move(hooks)) {}

    LedgerError init(std::string_view macFirst, std::string_view macLast,
                     std::uint64_t serialFirst) override {
        if (LedgerError e = ValidateRange(macFirst, macLast, serialFirst); e.failed()) return e;
        if (LedgerError e = c_->open(true); e.failed()) return e;
        Transaction t(*c_, batch_);
        if (LedgerError e = t.begin(true); e.failed()) return e;
        std::vector<SqlRow> rows;
        if (LedgerError e = c_->exec(c_->dialect().rangeExists, {}, &rows); e.failed()) return e;
        if (!rows.empty() && rows[0][0])
            return Fail(LedgerErrc::AlreadyExists, "a ledger already exists there");
        const SqlValue range[] = {std::int64_t{kSchemaVersion},
                                  static_cast<std::int64_t>(*ParseMac48(macFirst)),
                                  static_cast<std::int64_t>(*ParseMac48(macLast)),
                                  static_cast<std::int64_t>(serialFirst), NowText()};
        for (const std::string& sql :
             {CreateRangeTable(), CreateUnitTable(c_->dialect()), std::string(kCreateHeldIndex),
              std::string(kCreateSlotIndex), std::string(kCreateReleasedIndex),
              CreateEventTable(c_->dialect())})
            if (LedgerError e = c_->exec(sql); e.failed()) return e;
        if (LedgerError e =
                c_->exec("INSERT INTO ledger_range (id, schema_version, mac_first, mac_last,"
                         " serial_first, next_slot, created) VALUES (1, $1, $2, $3, $4, 0, $5)",
                         range);
            e.failed())
            return e;
        return t.commit();
    }

    LedgerResult<Allocation> allocate(const AllocationRequest& request) override {
        if (LedgerError e = ready(); e.failed()) return e;
        Transaction t(*c_, batch_);
        if (LedgerError e = t.begin(true); e.failed()) return e;
        Range range;
        if (LedgerError e = readRange(true, range); e.failed()) return e;
        std::optional<std::uint64_t> slot;
        if (LedgerError e = lowestFreed(slot); e.failed()) return e;
        if (!slot) {
            if (range.nextSlot >= range.size())
                return Fail(LedgerErrc::Exhausted, "every MAC address of the range " +
                                                       FormatMac48(range.macFirst) + "-" +
                                                       FormatMac48(range.macLast) + " is taken");
            slot = range.nextSlot;
            if (LedgerError e =
                    c_->exec("UPDATE ledger_range SET next_slot = next_slot + 1 WHERE id = 1");
                e.failed())
                return e;
        }
        Allocation a;
        a.mac = range.macFirst + *slot;
        a.serial = static_cast<std::uint32_t>(range.serialFirst + *slot);
        if (LedgerError e =
                insertUnit(request, SqlValue{static_cast<std::int64_t>(*slot)},
                           SqlValue{FormatMac48(a.mac)}, SqlValue{std::int64_t{a.serial}}, a.id);
            e.failed())
            return e;
        if (hooks_.beforeAllocationCommit) hooks_.beforeAllocationCommit();
        if (LedgerError e = t.commit(); e.failed()) return e;
        return a;
    }

    LedgerResult<Allocation> recordUnnumbered(const AllocationRequest& request) override {
        if (LedgerError e = ready(); e.failed()) return e;
        Transaction t(*c_, batch_);
        if (LedgerError e = t.begin(true); e.failed()) return e;
        Allocation a;
        a.numbered = false;
        if (LedgerError e = insertUnit(request, {}, {}, {}, a.id); e.failed()) return e;
        if (LedgerError e = t.commit(); e.failed()) return e;
        return a;
    }

    LedgerError beginBatch() override {
        if (LedgerError e = ready(); e.failed()) return e;
        if (LedgerError e = c_->exec(c_->dialect().beginWrite); e.failed()) return e;
        batch_ = true;
        return {};
    }

    LedgerError endBatch(bool commit) override {
        batch_ = false;
        if (commit) {
            LedgerError e = c_->exec("COMMIT");
            if (!e.failed()) return e;
            c_->exec("ROLLBACK");
            return e;
        }
        return c_->exec("ROLLBACK");
    }

    LedgerError release(std::int64_t id, std::string_view message,
                        std::string_view cause) override {
        return change(id, UnitResult::Released, message, cause, "result = 'allocated'");
    }

    LedgerError markUncertain(std::int64_t id, std::string_view message,
                              std::string_view cause) override {
        return change(id, UnitResult::Uncertain, message, cause,
                      "result IN ('allocated', 'uncertain')");
    }

    LedgerError finish(std::int64_t id, Outcome outcome, std::string_view message,
                       std::string_view cause) override {
        return change(id, outcome == Outcome::Done ? UnitResult::Done : UnitResult::Failed, message,
                      cause, "result IN ('allocated', 'uncertain')");
    }

    LedgerError settle(std::uint64_t mac, SettleAs as, std::string_view note,
                       std::string_view who) override {
        if (LedgerError e = ready(); e.failed()) return e;
        Transaction t(*c_, batch_);
        if (LedgerError e = t.begin(true); e.failed()) return e;
        std::vector<SqlRow> rows;
        const SqlValue key[] = {FormatMac48(mac)};
        if (LedgerError e = c_->exec("SELECT id, result FROM unit WHERE mac = $1 AND result IN"
                                     " ('allocated', 'uncertain') ORDER BY id DESC",
                                     key, &rows);
            e.failed())
            return e;
        if (rows.empty())
            return Fail(LedgerErrc::NoSuchUnit,
                        "no unit of MAC " + FormatMac48(mac) + " is left allocated or uncertain");
        std::int64_t id = 0;
        const auto from = ParseResult(ToText(rows[0][1]));
        if (!Number(rows[0][0], id) || !from) return Malformed("a unit row of " + FormatMac48(mac));
        if (as == SettleAs::Released && *from != UnitResult::Allocated)
            return Fail(LedgerErrc::UnitClosed,
                        "unit " + FormatMac48(mac) +
                            " is uncertain: its identity may have "
                            "reached the recorder, so its numbers cannot be released");
        const UnitResult to = as == SettleAs::Done   ? UnitResult::Done
                              : as == SettleAs::Void ? UnitResult::Void
                                                     : UnitResult::Released;
        const SqlValue params[] = {std::string(UnitResultName(to)), "settled: " + std::string(note),
                                   NowText(), id};
        if (LedgerError e = c_->exec(
                "UPDATE unit SET result = $1, message = $2, ended = $3 WHERE id = $4", params);
            e.failed())
            return e;
        if (LedgerError e = record(id, from, to, note, StationName(), who); e.failed()) return e;
        return t.commit();
    }

    LedgerResult<std::uint32_t> countLabelPrint(std::int64_t id) override {
        if (LedgerError e = ready(); e.failed()) return e;
        Transaction t(*c_, batch_);
        if (LedgerError e = t.begin(true); e.failed()) return e;
        const SqlValue key[] = {id};
        std::vector<SqlRow> rows;
        if (LedgerError e = c_->exec("UPDATE unit SET label_prints = label_prints + 1"
                                     " WHERE id = $1 RETURNING label_prints",
                                     key, &rows);
            e.failed())
            return e;
        if (rows.empty())
            return Fail(LedgerErrc::NoSuchUnit, "no unit " + std::to_string(id) + " in the ledger");
        std::int64_t count = 0;
        if (!Number(rows[0][0], count) || count < 1 || count > UINT32_MAX)
            return Malformed("the label count of unit " + std::to_string(id));
        if (LedgerError e = t.commit(); e.failed()) return e;
        return static_cast<std::uint32_t>(count);
    }

    LedgerError checkWritable() override {
        if (LedgerError e = ready(); e.failed()) return e;
        Transaction t(*c_, batch_);  // rolled back: the write is only tried
        LedgerError e = t.begin(true);
        if (!e.failed()) e = c_->exec("UPDATE ledger_range SET next_slot = next_slot WHERE id = 1");
        if (e.failed())
            return Fail(LedgerErrc::Unavailable, "the ledger cannot be written: " + e.message);
        return {};
    }

    LedgerResult<LedgerStatus> status() override {
        if (LedgerError e = ready(); e.failed()) return e;
        // One snapshot for the range and the counts.
        Transaction t(*c_, batch_);
        if (LedgerError e = t.begin(false); e.failed()) return e;
        Range range;
        if (LedgerError e = readRange(false, range); e.failed()) return e;
        LedgerStatus s;
        s.macFirst = range.macFirst;
        s.macLast = range.macLast;
        s.serialFirst = range.serialFirst;
        s.size = range.size();
        std::vector<SqlRow> rows;
        if (LedgerError e = c_->exec(
                "SELECT result, slot IS NULL, count(*) FROM unit GROUP BY result, slot IS NULL", {},
                &rows);
            e.failed())
            return e;
        for (const SqlRow& r : rows) {
            // PostgreSQL answers a truth value as t or f, SQLite as 1 or 0.
            const std::string unnumbered = ToText(r[1]);
            if (unnumbered == "t" || unnumbered == "1") {
                s.unnumbered += static_cast<std::uint64_t>(ToInt(r[2]));
                continue;
            }
            if (LedgerError e = countRows(s, ToText(r[0]), ToInt(r[2])); e.failed()) return e;
        }
        s.used = s.allocated + s.done + s.failed + s.uncertain + s.voided;
        s.free = s.size - s.used;
        std::optional<std::uint64_t> slot;
        if (LedgerError e = lowestFreed(slot); e.failed()) return e;
        if (!slot && range.nextSlot < range.size()) slot = range.nextSlot;
        s.exhausted = !slot;
        if (slot) {
            s.nextMac = range.macFirst + *slot;
            s.nextSerial = static_cast<std::uint32_t>(range.serialFirst + *slot);
        }
        s.low = s.free * 10 < s.size;
        return s;
    }

    LedgerResult<std::vector<UnitRecord>> list() override { return units(" ORDER BY id", {}); }

    LedgerResult<std::vector<UnitRecord>> listSince(std::string_view utc) override {
        const SqlValue since[] = {std::string(utc)};
        return units(" WHERE coalesce(ended, started) >= $1 ORDER BY id", since);
    }

    LedgerResult<std::optional<UnitRecord>> unitHolding(std::uint64_t mac) override {
        if (LedgerError e = ready(); e.failed()) return e;
        std::vector<SqlRow> rows;
        const SqlValue key[] = {FormatMac48(mac)};
        if (LedgerError e =
                c_->exec(std::string(kUnitColumns) + " WHERE mac = $1 AND result <> 'released'"
                                                     " ORDER BY id DESC LIMIT 1",
                         key, &rows);
            e.failed())
            return e;
        if (rows.empty()) return std::optional<UnitRecord>();
        UnitRecord unit;
        if (LedgerError e = ParseUnitRow(rows[0], unit); e.failed()) return e;
        return std::optional<UnitRecord>(std::move(unit));
    }

  private:
    // A new unit row, "allocated", and the first line of its history; its id to `id`.
    LedgerError insertUnit(const AllocationRequest& request, SqlValue slot, SqlValue mac,
                           SqlValue serial, std::int64_t& id) {
        const SqlValue row[] = {std::move(slot),
                                std::move(mac),
                                std::move(serial),
                                request.target,
                                request.kind,
                                request.imageSha256,
                                request.imageVersion,
                                request.station,
                                NowText(),
                                request.port,
                                request.found.empty() ? SqlValue{} : SqlValue{request.found},
                                std::int64_t{kSchemaVersion}};
        std::vector<SqlRow> made;
        if (LedgerError e =
                c_->exec("INSERT INTO unit (slot, mac, serial, target, kind, image_sha256,"
                         " image_version, station, started, port, found, row_version, result,"
                         " message, cause) VALUES ($1, $2, $3, $4, $5, $6, $7, $8, $9, $10, $11,"
                         " $12, 'allocated', '', '')"
                         " RETURNING id",
                         row, &made);
            e.failed())
            return e;
        if (made.empty() || !Number(made[0][0], id)) return Malformed("the new unit's id");
        return record(id, std::nullopt, UnitResult::Allocated, "", request.station);
    }

    // The unit rows `where` (a WHERE and ORDER BY clause) picks.
    LedgerResult<std::vector<UnitRecord>> units(std::string_view where,
                                                std::span<const SqlValue> params) {
        if (LedgerError e = ready(); e.failed()) return e;
        std::vector<SqlRow> rows;
        if (LedgerError e = c_->exec(std::string(kUnitColumns) + std::string(where), params, &rows);
            e.failed())
            return e;
        std::vector<UnitRecord> found(rows.size());
        for (std::size_t i = 0; i < rows.size(); ++i)
            if (LedgerError e = ParseUnitRow(rows[i], found[i]); e.failed()) return e;
        return found;
    }

    // Once per connection: the ledger's schema is one this binary knows, migrated to the
    // current version when it is older. A newer one is refused and left untouched.
    LedgerError ready() {
        if (LedgerError e = c_->open(false); e.failed()) return e;
        if (ready_) return {};
        Transaction t(*c_, batch_);
        if (LedgerError e = t.begin(true); e.failed()) return e;
        std::vector<SqlRow> rows;
        if (LedgerError e =
                c_->exec("SELECT schema_version FROM ledger_range WHERE id = 1", {}, &rows);
            e.failed())
            return e;
        std::int64_t version = 0;
        if (rows.empty() || !Number(rows[0][0], version)) return Malformed("the schema version");
        if (version > kSchemaVersion)
            return Fail(LedgerErrc::Unavailable,
                        "the ledger has schema version " + std::to_string(version) +
                            ", newer than this program knows (" + std::to_string(kSchemaVersion) +
                            "): use the newer program that wrote it");
        if (version < kSchemaVersion)
            for (const std::string& step : MigrateFrom(static_cast<int>(version), c_->dialect()))
                if (LedgerError e = c_->exec(step); e.failed()) return e;
        if (LedgerError e = t.commit(); e.failed()) return e;
        ready_ = true;
        return {};
    }

    // One line of a unit's history, in the transaction of the change it records.
    LedgerError record(std::int64_t id, std::optional<UnitResult> from, UnitResult to,
                       std::string_view note, std::string_view station, std::string_view who = {}) {
        const SqlValue params[] = {id,
                                   NowText(),
                                   from ? SqlValue{std::string(UnitResultName(*from))} : SqlValue{},
                                   std::string(UnitResultName(to)),
                                   who.empty() ? user_ : std::string(who),
                                   std::string(station),
                                   std::string(note)};
        return c_->exec(
            "INSERT INTO unit_event (unit_id, at, from_result, to_result, who,"
            " station, note) VALUES ($1, $2, $3, $4, $5, $6, $7)",
            params);
    }

    LedgerError readRange(bool lock, Range& range) {
        std::vector<SqlRow> rows;
        const std::string sql =
            "SELECT mac_first, mac_last, serial_first, next_slot FROM ledger_range WHERE id = 1" +
            std::string(lock ? c_->dialect().lockRange : "");
        if (LedgerError e = c_->exec(sql, {}, &rows); e.failed()) return e;
        if (rows.empty()) return Fail(LedgerErrc::NotInitialised, "the ledger has no range");
        range.macFirst = static_cast<std::uint64_t>(ToInt(rows[0][0]));
        range.macLast = static_cast<std::uint64_t>(ToInt(rows[0][1]));
        range.serialFirst = static_cast<std::uint32_t>(ToInt(rows[0][2]));
        range.nextSlot = static_cast<std::uint64_t>(ToInt(rows[0][3]));
        return {};
    }

    LedgerError lowestFreed(std::optional<std::uint64_t>& slot) {
        std::vector<SqlRow> rows;
        if (LedgerError e = c_->exec(kLowestFreed, {}, &rows); e.failed()) return e;
        slot.reset();
        if (!rows.empty() && rows[0][0]) slot = static_cast<std::uint64_t>(ToInt(rows[0][0]));
        return {};
    }

    // One statement, so the state check and the change are one step; inside a transaction
    // of its own, so that a statement a frozen server answers late can never land after
    // the caller was told it failed (only the commit itself remains a moment of doubt).
    LedgerError change(std::int64_t id, UnitResult to, std::string_view message,
                       std::string_view cause, std::string_view allowedFrom) {
        if (LedgerError e = ready(); e.failed()) return e;
        Transaction t(*c_, batch_);
        if (LedgerError e = t.begin(true); e.failed()) return e;
        std::vector<SqlRow> before;
        const SqlValue key[] = {id};
        if (LedgerError e =
                c_->exec("SELECT result, station FROM unit WHERE id = $1", key, &before);
            e.failed())
            return e;
        const bool ends = to != UnitResult::Uncertain;
        const SqlValue params[] = {std::string(UnitResultName(to)), std::string(message),
                                   ends ? SqlValue{NowText()} : SqlValue{}, id, std::string(cause)};
        std::vector<SqlRow> changed;
        if (LedgerError e = c_->exec("UPDATE unit SET result = $1, message = $2, ended = $3,"
                                     " cause = $5 WHERE id = $4 AND " +
                                         std::string(allowedFrom) + " RETURNING id",
                                     params, &changed);
            e.failed())
            return e;
        if (!changed.empty()) {
            const auto from = ParseResult(ToText(before[0][0]));
            if (LedgerError e = record(id, from, to, cause, ToText(before[0][1])); e.failed())
                return e;
            return t.commit();
        }
        std::vector<SqlRow> current;
        if (LedgerError e = c_->exec("SELECT result FROM unit WHERE id = $1", key, &current);
            e.failed())
            return e;
        if (current.empty())
            return Fail(LedgerErrc::NoSuchUnit, "no unit " + std::to_string(id) + " in the ledger");
        return Fail(LedgerErrc::UnitClosed, "unit " + std::to_string(id) + " is " +
                                                ToText(current[0][0]) + ", it cannot become " +
                                                std::string(UnitResultName(to)));
    }

    static LedgerError countRows(LedgerStatus& s, std::string_view result, std::int64_t n) {
        const auto count = static_cast<std::uint64_t>(n);
        const auto parsed = ParseResult(result);
        if (!parsed) return Malformed("a unit's result '" + std::string(result) + "'");
        switch (*parsed) {
            case UnitResult::Allocated:
                s.allocated += count;
                break;
            case UnitResult::Done:
                s.done += count;
                break;
            case UnitResult::Failed:
                s.failed += count;
                break;
            case UnitResult::Uncertain:
                s.uncertain += count;
                break;
            case UnitResult::Released:
                s.released += count;
                break;
            case UnitResult::Void:
                s.voided += count;
                break;
        }
        return {};
    }

    std::unique_ptr<SqlConnection> c_;
    LedgerHooks hooks_;
    // Looked up once: each lookup reads the system's user database, and a station records
    // a line of history for every step of every unit.
    const std::string user_ = UserName();
    bool ready_ = false;
    bool batch_ = false;  // operations are savepoints of the batch's transaction
};

}  // namespace

std::string_view UnitResultName(UnitResult result) {
    switch (result) {
        case UnitResult::Allocated:
            return "allocated";
        case UnitResult::Done:
            return "done";
        case UnitResult::Failed:
            return "failed";
        case UnitResult::Uncertain:
            return "uncertain";
        case UnitResult::Released:
            return "released";
        case UnitResult::Void:
            return "void";
    }
    return "allocated";
}

std::unique_ptr<BatchLedger> MakeSqlLedger(std::unique_ptr<SqlConnection> connection,
                                           LedgerHooks hooks) {
    return std::make_unique<SqlLedger>(std::move(connection), std::move(hooks));
}

}  // namespace imgdl::ledger

#pragma once
// The provisioning ledger: hands out MAC addresses and serial numbers from one range and
// records what each unit received, so that no number is ever given to two units. One
// interface, two stores: an SQLite file for one station, a PostgreSQL server for a line
// of stations. Every operation is one database transaction, so a process killed at any
// instant leaves the ledger as it was before or after that operation.
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "ledger/LedgerError.h"
#include "ledger/SqlConnection.h"

namespace imgdl::ledger {

// What the unit is about to receive; stored in its row.
struct AllocationRequest {
    std::string target;        // HOST[:PORT] as given
    std::string kind;          // "integrated", "identity", ...
    std::string imageSha256;   // empty when no image is sent
    std::string imageVersion;  // empty when no image is sent
    std::string station;       // the host name of the station (StationName())
    std::string port;          // the station's port that found the unit; empty otherwise
    std::string found;         // UTC time the station found the unit; empty otherwise
};

struct Allocation {
    std::int64_t id = 0;  // the unit row, for release/finish/markUncertain
    std::uint64_t mac = 0;
    std::uint32_t serial = 0;
    bool numbered = true;  // false: a row without numbers (mac and serial mean nothing)
};

enum class UnitResult { Allocated, Done, Failed, Uncertain, Released, Void };
// "allocated", "done", "failed", "uncertain", "released", "void": the texts stored in the
// rows. A void unit's numbers are never handed out again.
std::string_view UnitResultName(UnitResult result);

// How a session that got as far as the payload ended.
enum class Outcome { Done, Failed };

// What a person decides of a unit left allocated or uncertain, after looking at it.
enum class SettleAs {
    Done,      // it holds its identity
    Void,      // it may hold it, or is gone: the numbers are never used again
    Released,  // it never received anything (only from allocated): the numbers go back
};

struct UnitRecord {
    std::int64_t id = 0;
    std::uint64_t mac = 0;
    std::uint32_t serial = 0;
    bool numbered = true;  // false: the unit was given no numbers (mac and serial are 0)
    std::string target;
    std::string kind;
    std::string imageSha256;
    std::string imageVersion;
    std::string started;  // UTC, "2024-05-01T12:34:56Z"
    std::string ended;    // empty while allocated or uncertain
    UnitResult result = UnitResult::Allocated;
    std::string message;
    std::string station;
    std::string cause;              // why its session failed, when one did
    std::string port;               // the station's port that found the unit; empty otherwise
    std::string found;              // UTC time the station found the unit; empty otherwise
    std::uint32_t labelPrints = 0;  // labels made for it so far
};

struct LedgerStatus {
    std::uint64_t macFirst = 0;
    std::uint64_t macLast = 0;
    std::uint32_t serialFirst = 0;
    std::uint64_t size = 0;  // MACs in the range
    std::uint64_t used = 0;  // held by a unit: allocated, done, failed or uncertain
    std::uint64_t free = 0;  // size - used
    bool exhausted = false;  // nothing left: nextMac and nextSerial mean nothing
    std::uint64_t nextMac = 0;
    std::uint32_t nextSerial = 0;
    bool low = false;  // less than a tenth of the range is left
    std::uint64_t allocated = 0, done = 0, failed = 0, uncertain = 0, released = 0;  // rows
    std::uint64_t voided = 0;
    std::uint64_t unnumbered = 0;  // rows of units given no numbers, not counted above
};

class Ledger {
  public:
    virtual ~Ledger() = default;

    // Creates the ledger for MACs macFirst..macLast (twelve hex digits each) and serial
    // numbers from serialFirst on, paired one to one with the MACs. Refused when a ledger
    // is already there or the range is invalid (see ValidateRange).
    virtual LedgerError init(std::string_view macFirst, std::string_view macLast,
                             std::uint64_t serialFirst) = 0;
    // The next free MAC and its serial, recorded in a new row as "allocated". Released
    // numbers are handed out again first, lowest first; otherwise the one after the
    // highest ever handed out. Exhausted: nothing is recorded.
    virtual LedgerResult<Allocation> allocate(const AllocationRequest& request) = 0;
    // The row of a unit that gets no numbers (an application image alone), "allocated"
    // without a MAC or serial; release, markUncertain and finish end it as any other.
    virtual LedgerResult<Allocation> recordUnnumbered(const AllocationRequest& request) = 0;
    // The session failed before the payload's first byte was sent: the numbers go back to
    // the pool; the row stays, as "released", for the history. Only from "allocated".
    virtual LedgerError release(std::int64_t id, std::string_view message,
                                std::string_view cause) = 0;
    LedgerError release(std::int64_t id, std::string_view message) {
        return release(id, message, {});
    }
    // The payload may have reached the recorder: the numbers are never handed out again
    // automatically. From "allocated" (or "uncertain" again).
    virtual LedgerError markUncertain(std::int64_t id, std::string_view message,
                                      std::string_view cause) = 0;
    LedgerError markUncertain(std::int64_t id, std::string_view message) {
        return markUncertain(id, message, {});
    }
    // The session's end, from "allocated" or "uncertain". The numbers stay held.
    virtual LedgerError finish(std::int64_t id, Outcome outcome, std::string_view message,
                               std::string_view cause) = 0;
    LedgerError finish(std::int64_t id, Outcome outcome, std::string_view message) {
        return finish(id, outcome, message, {});
    }
    // A person's decision on the newest unit of that MAC left allocated or uncertain;
    // kept in the unit's history with `who`, this station, the time and the note.
    // NoSuchUnit when no such unit waits; UnitClosed for released from uncertain.
    virtual LedgerError settle(std::uint64_t mac, SettleAs as, std::string_view note,
                               std::string_view who) = 0;
    // One more label was made for the unit; the count after it.
    virtual LedgerResult<std::uint32_t> countLabelPrint(std::int64_t id) = 0;
    virtual LedgerResult<LedgerStatus> status() = 0;
    // Whether this program may write to the ledger (a read-only file or folder, a server
    // in read-only mode are refused before any unit starts); nothing is changed.
    virtual LedgerError checkWritable() = 0;
    // Every unit row, oldest first.
    virtual LedgerResult<std::vector<UnitRecord>> list() = 0;
    // The rows that ended at `utc` ("2024-05-01T12:34:56Z") or later, and those without an
    // end that started then or later: a shift's rows, without reading the whole ledger.
    virtual LedgerResult<std::vector<UnitRecord>> listSince(std::string_view utc) = 0;
    // The newest row that holds `mac` (any result but released), or nothing.
    virtual LedgerResult<std::optional<UnitRecord>> unitHolding(std::uint64_t mac) = 0;
};

// For tests only: called inside allocate's transaction once the row is written and
// before the commit, so that a test can kill the process at that instant.
struct LedgerHooks {
    std::function<void()> beforeAllocationCommit;
};

// A "postgresql://" or "postgres://" URI opens a PostgreSQL ledger (connecting now; the
// URI goes to libpq unchanged, so PGPASSFILE and ~/.pgpass work); anything else is the
// path of an SQLite file, opened when first used (init creates it and its folder). Either
// way the database's client library is loaded here, and a missing one is Unavailable.
// `limits` bounds every wait of every operation: no frozen server or held lock holds the
// caller longer than its deadline (plus the connect itself, bounded as well).
LedgerResult<std::unique_ptr<Ledger>> OpenLedger(std::string_view location, LedgerHooks hooks = {},
                                                 WaitLimits limits = {});
bool IsPostgresUri(std::string_view location);

// $XDG_DATA_HOME/imgdl/ledger.sqlite, or ~/.local/share/imgdl/ledger.sqlite.
std::string DefaultLedgerPath();
// This machine's host name, for AllocationRequest::station.
std::string StationName();

}  // namespace imgdl::ledger

#pragma once
// The ledger's tables, the same on both databases but for the unit row's key.
//
// ledger_range: one row (id 1) with the range, the first serial and next_slot, the
//   number of slots ever handed out. Slot k is MAC mac_first + k with serial
//   serial_first + k. Every allocation locks this row, which orders the writers.
// unit: one row per unit; a unit given numbers holds a slot, one sent an image alone
//   none. A slot is held by at most one row that is not "released" (the partial unique
//   index makes the database itself refuse a second).
//   Released rows stay for the history; their slot is free again unless a later row
//   holds it.
#include <string>
#include <vector>

#include "ledger/SqlConnection.h"

namespace imgdl::ledger {

// 2: the 'void' result, the cause of a session's failure, a history of every change of a
// unit's result (unit_event), and row_version: a NOT NULL column without default, so that
// binaries that predate version 2 cannot add a row to a version-2 ledger.
// 3: where a station found the unit (port, found) and how many labels it was given.
// 4: rows without numbers (slot, mac and serial null): units that were sent an image alone.
// 5: an index of the released rows' slots, so that looking for a freed number reads those
//    rows, not every unit the ledger ever held.
inline constexpr int kSchemaVersion = 5;

inline std::string CreateRangeTable() {
    return "CREATE TABLE ledger_range ("
           " id INTEGER PRIMARY KEY CHECK (id = 1),"
           " schema_version INTEGER NOT NULL,"
           " mac_first BIGINT NOT NULL,"
           " mac_last BIGINT NOT NULL,"
           " serial_first BIGINT NOT NULL,"
           " next_slot BIGINT NOT NULL,"
           " created TEXT NOT NULL)";
}

inline constexpr const char* kResultCheck =
    "result IN ('allocated', 'done', 'failed', 'uncertain', 'released', 'void')";

inline std::string CreateUnitTable(const SqlDialect& d) {
    return "CREATE TABLE unit (" + std::string(d.idColumn) +
           ","
           " slot BIGINT,"
           " mac TEXT,"
           " serial BIGINT,"
           " target TEXT NOT NULL,"
           " kind TEXT NOT NULL,"
           " image_sha256 TEXT NOT NULL,"
           " image_version TEXT NOT NULL,"
           " station TEXT NOT NULL,"
           " started TEXT NOT NULL,"
           " ended TEXT,"
           " result TEXT NOT NULL CONSTRAINT unit_result_check CHECK (" +
           kResultCheck +
           "),"
           " message TEXT NOT NULL,"
           " cause TEXT NOT NULL DEFAULT '',"
           " row_version INTEGER NOT NULL,"
           " port TEXT NOT NULL DEFAULT '',"
           " found TEXT,"
           " label_prints INTEGER NOT NULL DEFAULT 0)";
}

inline std::string CreateEventTable(const SqlDialect& d) {
    return "CREATE TABLE unit_event (" + std::string(d.idColumn) +
           ","
           " unit_id BIGINT NOT NULL,"
           " at TEXT NOT NULL,"
           " from_result TEXT,"
           " to_result TEXT NOT NULL,"
           " who TEXT NOT NULL,"
           " station TEXT NOT NULL,"
           " note TEXT NOT NULL)";
}

inline constexpr const char* kCreateHeldIndex =
    "CREATE UNIQUE INDEX unit_held_slot ON unit (slot) WHERE result <> 'released'";
inline constexpr const char* kCreateSlotIndex = "CREATE INDEX unit_slot ON unit (slot)";
// Made only where it is missing: a table that PostgreSQL altered in place keeps it.
inline constexpr const char* kCreateReleasedIndex =
    "CREATE INDEX IF NOT EXISTS unit_released_slot ON unit (slot) WHERE result = 'released'";

// Where SQLite cannot change a column in place (a CHECK, a NOT NULL): the unit table is
// built again under its name, in its newest shape, rows and ids kept. From a version
// older than 4, whose tables have no index of released slots yet.
inline std::vector<std::string> RebuildUnitTable(int version, const SqlDialect& d) {
    const std::string kept =
        "id, slot, mac, serial, target, kind, image_sha256, image_version, station, started,"
        " ended, result, message";
    std::string columns = kept + ", cause, row_version";
    std::string values = kept + (version < 2 ? ", '', 2" : ", cause, row_version");
    if (version >= 3) {
        columns += ", port, found, label_prints";
        values += ", port, found, label_prints";
    }
    return {"DROP INDEX unit_held_slot",
            "DROP INDEX unit_slot",
            "ALTER TABLE unit RENAME TO unit_before",
            CreateUnitTable(d),
            "INSERT INTO unit (" + columns + ") SELECT " + values + " FROM unit_before",
            "DROP TABLE unit_before",
            kCreateHeldIndex,
            kCreateSlotIndex};
}

// The same changes where the database alters columns in place.
inline std::vector<std::string> AlterUnitTable(int version) {
    std::vector<std::string> steps;
    if (version < 2)
        steps = {"ALTER TABLE unit DROP CONSTRAINT unit_result_check",
                 std::string("ALTER TABLE unit ADD CONSTRAINT unit_result_check CHECK (") +
                     kResultCheck + ")",
                 "ALTER TABLE unit ADD COLUMN cause TEXT NOT NULL DEFAULT ''",
                 "ALTER TABLE unit ADD COLUMN row_version INTEGER NOT NULL DEFAULT 2",
                 "ALTER TABLE unit ALTER COLUMN row_version DROP DEFAULT"};
    if (version < 3)
        for (const char* step : {"ALTER TABLE unit ADD COLUMN port TEXT NOT NULL DEFAULT ''",
                                 "ALTER TABLE unit ADD COLUMN found TEXT",
                                 "ALTER TABLE unit ADD COLUMN label_prints INTEGER NOT NULL"
                                 " DEFAULT 0"})
            steps.emplace_back(step);
    if (version < 4)
        for (const char* column : {"slot", "mac", "serial"})
            steps.push_back("ALTER TABLE unit ALTER COLUMN " + std::string(column) +
                            " DROP NOT NULL");
    return steps;
}

// From any older version to this one, in one transaction.
inline std::vector<std::string> MigrateFrom(int version, const SqlDialect& d) {
    std::vector<std::string> steps;
    if (version < 4) steps = d.alterChecks ? AlterUnitTable(version) : RebuildUnitTable(version, d);
    if (version < 2) steps.push_back(CreateEventTable(d));
    if (version < 5) steps.emplace_back(kCreateReleasedIndex);
    steps.push_back("UPDATE ledger_range SET schema_version = " + std::to_string(kSchemaVersion) +
                    " WHERE id = 1");
    return steps;
}

}  // namespace imgdl::ledger

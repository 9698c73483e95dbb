#pragma once
// The ledger's tables, the same on both databases but for the unit row's key.
//
// ledger_range: one row (id 1) with the range, the first serial and next_slot, the
//   number of slots ever handed out. Slot k is MAC mac_first + k with serial
//   serial_first + k. Every allocation locks this row, which orders the writers.
// unit: one row per allocation. A slot is held by at most one row that is not
//   "released" (the partial unique index makes the database itself refuse a second).
//   Released rows stay for the history; their slot is free again unless a later row
//   holds it.
#include <string>

#include "ledger/SqlConnection.h"

namespace imgdl::ledger {

inline constexpr int kSchemaVersion = 1;

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

inline std::string CreateUnitTable(const SqlDialect& d) {
    return "CREATE TABLE unit (" + std::string(d.idColumn) +
           ","
           " slot BIGINT NOT NULL,"
           " mac TEXT NOT NULL,"
           " serial BIGINT NOT NULL,"
           " target TEXT NOT NULL,"
           " kind TEXT NOT NULL,"
           " image_sha256 TEXT NOT NULL,"
           " image_version TEXT NOT NULL,"
           " station TEXT NOT NULL,"
           " started TEXT NOT NULL,"
           " ended TEXT,"
           " result TEXT NOT NULL CHECK (result IN"
           "  ('allocated', 'done', 'failed', 'uncertain', 'released')),"
           " message TEXT NOT NULL)";
}

inline constexpr const char* kCreateHeldIndex =
    "CREATE UNIQUE INDEX unit_held_slot ON unit (slot) WHERE result <> 'released'";
inline constexpr const char* kCreateSlotIndex = "CREATE INDEX unit_slot ON unit (slot)";

}  // namespace imgdl::ledger

#pragma once
// libsqlite3, opened with dlopen when an SQLite ledger is opened rather than linked: Debian's
// is linked for immediate binding, so a linked one costs every run of every program about
// 1,600 symbol relocations at start, though most runs never open a ledger.
#include <sqlite3.h>

#include <utility>

#include "ledger/LedgerError.h"
#include "ledger/SharedLibrary.h"

namespace imgdl::ledger {

// The loaded library and the functions the ledger calls, under their SQLite names.
// Destroying it closes the library, so it must outlive every database and statement that
// came from it.
class LibSqlite {
  public:
    // A library or function that cannot be found is Unavailable, with dlerror's reason.
    static LedgerResult<LibSqlite> Load(const char* soname);

    decltype(&::sqlite3_bind_int64) sqlite3_bind_int64 = nullptr;
    decltype(&::sqlite3_bind_null) sqlite3_bind_null = nullptr;
    decltype(&::sqlite3_bind_text) sqlite3_bind_text = nullptr;
    decltype(&::sqlite3_busy_handler) sqlite3_busy_handler = nullptr;
    decltype(&::sqlite3_close_v2) sqlite3_close_v2 = nullptr;
    decltype(&::sqlite3_column_bytes) sqlite3_column_bytes = nullptr;
    decltype(&::sqlite3_column_count) sqlite3_column_count = nullptr;
    decltype(&::sqlite3_column_text) sqlite3_column_text = nullptr;
    decltype(&::sqlite3_column_type) sqlite3_column_type = nullptr;
    decltype(&::sqlite3_errcode) sqlite3_errcode = nullptr;
    decltype(&::sqlite3_errmsg) sqlite3_errmsg = nullptr;
    decltype(&::sqlite3_errstr) sqlite3_errstr = nullptr;
    decltype(&::sqlite3_extended_result_codes) sqlite3_extended_result_codes = nullptr;
    decltype(&::sqlite3_finalize) sqlite3_finalize = nullptr;
    decltype(&::sqlite3_open_v2) sqlite3_open_v2 = nullptr;
    decltype(&::sqlite3_prepare_v2) sqlite3_prepare_v2 = nullptr;
    decltype(&::sqlite3_step) sqlite3_step = nullptr;

  private:
    explicit LibSqlite(SharedLibrary library) : library_(std::move(library)) {}

    SharedLibrary library_;
};

}  // namespace imgdl::ledger

#include "ledger/LibSqlite.h"

namespace imgdl::ledger {

LedgerResult<LibSqlite> LibSqlite::Load(const char* soname) {
    auto opened = SharedLibrary::Open("SQLite library", soname);
    if (!opened.ok()) return opened.error();
    LibSqlite sq(std::move(opened).value());
    SharedLibrary& l = sq.library_;
    const bool found = l.bind("sqlite3_bind_int64", sq.sqlite3_bind_int64) &&
                       l.bind("sqlite3_bind_null", sq.sqlite3_bind_null) &&
                       l.bind("sqlite3_bind_text", sq.sqlite3_bind_text) &&
                       l.bind("sqlite3_busy_handler", sq.sqlite3_busy_handler) &&
                       l.bind("sqlite3_close_v2", sq.sqlite3_close_v2) &&
                       l.bind("sqlite3_column_bytes", sq.sqlite3_column_bytes) &&
                       l.bind("sqlite3_column_count", sq.sqlite3_column_count) &&
                       l.bind("sqlite3_column_text", sq.sqlite3_column_text) &&
                       l.bind("sqlite3_column_type", sq.sqlite3_column_type) &&
                       l.bind("sqlite3_errcode", sq.sqlite3_errcode) &&
                       l.bind("sqlite3_errmsg", sq.sqlite3_errmsg) &&
                       l.bind("sqlite3_errstr", sq.sqlite3_errstr) &&
                       l.bind("sqlite3_extended_result_codes", sq.sqlite3_extended_result_codes) &&
                       l.bind("sqlite3_finalize", sq.sqlite3_finalize) &&
                       l.bind("sqlite3_open_v2", sq.sqlite3_open_v2) &&
                       l.bind("sqlite3_prepare_v2", sq.sqlite3_prepare_v2) &&
                       l.bind("sqlite3_step", sq.sqlite3_step);
    if (!found) return l.missing();
    return sq;
}

}  // namespace imgdl::ledger

#pragma once
// Another program's write transaction on an SQLite ledger, held while this object lives:
// the ledger's readers and writers wait for it.
#include <sqlite3.h>

#include <string>

namespace imgdl::test {

class SqliteLock {
  public:
    explicit SqliteLock(const std::string& path) {
        sqlite3_open(path.c_str(), &db_);
        locked_ = sqlite3_exec(db_, "BEGIN EXCLUSIVE", nullptr, nullptr, nullptr) == SQLITE_OK;
    }
    ~SqliteLock() {
        sqlite3_exec(db_, "ROLLBACK", nullptr, nullptr, nullptr);
        sqlite3_close(db_);
    }
    SqliteLock(const SqliteLock&) = delete;
    SqliteLock& operator=(const SqliteLock&) = delete;
    bool locked() const { return locked_; }

  private:
    sqlite3* db_ = nullptr;
    bool locked_ = false;
};

}  // namespace imgdl::test

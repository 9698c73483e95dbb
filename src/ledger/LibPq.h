#pragma once
// libpq, opened with dlopen when a PostgreSQL ledger is opened rather than linked: a linked
// libpq, with the TLS, Kerberos and LDAP libraries under it, is mapped and relocated on every
// run of every program (about a millisecond), though most runs never reach a server.
#include <libpq-fe.h>

#include <utility>

#include "ledger/LedgerError.h"
#include "ledger/SharedLibrary.h"

namespace imgdl::ledger {

// The loaded library and the functions the ledger calls, under their libpq names.
// Destroying it closes the library, so it must outlive every connection and result that
// came from it.
class LibPq {
  public:
    // A library or function that cannot be found is Unavailable, with dlerror's reason.
    static LedgerResult<LibPq> Load(const char* soname);

    decltype(&::PQclear) PQclear = nullptr;
    decltype(&::PQconnectdbParams) PQconnectdbParams = nullptr;
    decltype(&::PQsendQueryParams) PQsendQueryParams = nullptr;
    decltype(&::PQconsumeInput) PQconsumeInput = nullptr;
    decltype(&::PQisBusy) PQisBusy = nullptr;
    decltype(&::PQgetResult) PQgetResult = nullptr;
    decltype(&::PQsocket) PQsocket = nullptr;
    decltype(&::PQerrorMessage) PQerrorMessage = nullptr;
    decltype(&::PQexecParams) PQexecParams = nullptr;
    decltype(&::PQfinish) PQfinish = nullptr;
    decltype(&::PQgetisnull) PQgetisnull = nullptr;
    decltype(&::PQgetlength) PQgetlength = nullptr;
    decltype(&::PQgetvalue) PQgetvalue = nullptr;
    decltype(&::PQnfields) PQnfields = nullptr;
    decltype(&::PQntuples) PQntuples = nullptr;
    decltype(&::PQresultErrorField) PQresultErrorField = nullptr;
    decltype(&::PQresultErrorMessage) PQresultErrorMessage = nullptr;
    decltype(&::PQresultStatus) PQresultStatus = nullptr;
    decltype(&::PQsetNoticeProcessor) PQsetNoticeProcessor = nullptr;
    decltype(&::PQstatus) PQstatus = nullptr;

  private:
    explicit LibPq(SharedLibrary library) : library_(std::move(library)) {}

    SharedLibrary library_;
};

}  // namespace imgdl::ledger

#include "ledger/LibPq.h"

namespace imgdl::ledger {

LedgerResult<LibPq> LibPq::Load(const char* soname) {
    auto opened = SharedLibrary::Open("PostgreSQL client library", soname);
    if (!opened.ok()) return opened.error();
    LibPq pq(std::move(opened).value());
    SharedLibrary& l = pq.library_;
    const bool found =
        l.bind("PQclear", pq.PQclear) && l.bind("PQconnectdbParams", pq.PQconnectdbParams) &&
        l.bind("PQsendQueryParams", pq.PQsendQueryParams) &&
        l.bind("PQconsumeInput", pq.PQconsumeInput) && l.bind("PQisBusy", pq.PQisBusy) &&
        l.bind("PQgetResult", pq.PQgetResult) && l.bind("PQsocket", pq.PQsocket) &&
        l.bind("PQerrorMessage", pq.PQerrorMessage) && l.bind("PQexecParams", pq.PQexecParams) &&
        l.bind("PQfinish", pq.PQfinish) && l.bind("PQgetisnull", pq.PQgetisnull) &&
        l.bind("PQgetlength", pq.PQgetlength) && l.bind("PQgetvalue", pq.PQgetvalue) &&
        l.bind("PQnfields", pq.PQnfields) && l.bind("PQntuples", pq.PQntuples) &&
        l.bind("PQresultErrorField", pq.PQresultErrorField) &&
        l.bind("PQresultErrorMessage", pq.PQresultErrorMessage) &&
        l.bind("PQresultStatus", pq.PQresultStatus) &&
        l.bind("PQsetNoticeProcessor", pq.PQsetNoticeProcessor) && l.bind("PQstatus", pq.PQstatus);
    if (!found) return l.missing();
    return pq;
}

}  // namespace imgdl::ledger

#include "ledger/LibPq.h"

#include <dlfcn.h>

#include <string>
#include <type_traits>

namespace imgdl::ledger {

namespace {

LedgerError CannotLoad(const char* soname) {
    const char* reason = ::dlerror();
    return Fail(LedgerErrc::Unavailable,
                std::string("PostgreSQL client library ") + soname +
                    " cannot be loaded: " + (reason ? reason : "unknown reason"));
}

}  // namespace

void LibPq::Close::operator()(void* handle) const {
    ::dlclose(handle);
}

LedgerResult<LibPq> LibPq::Load(const char* soname) {
    // RTLD_NOW: a libpq that lacks something it needs is refused here, not midway through
    // an allocation. RTLD_LOCAL: its symbols are reached only through this object.
    LibPq pq;
    pq.handle_.reset(::dlopen(soname, RTLD_NOW | RTLD_LOCAL));
    if (!pq.handle_) return CannotLoad(soname);
    const auto bind = [&pq](const char* name, auto& function) {
        void* symbol = ::dlsym(pq.handle_.get(), name);
        function = reinterpret_cast<std::remove_reference_t<decltype(function)>>(symbol);
        return symbol != nullptr;
    };
    const bool found =
        bind("PQclear", pq.PQclear) && bind("PQconnectdb", pq.PQconnectdb) &&
        bind("PQerrorMessage", pq.PQerrorMessage) && bind("PQexecParams", pq.PQexecParams) &&
        bind("PQfinish", pq.PQfinish) && bind("PQgetisnull", pq.PQgetisnull) &&
        bind("PQgetlength", pq.PQgetlength) && bind("PQgetvalue", pq.PQgetvalue) &&
        bind("PQnfields", pq.PQnfields) && bind("PQntuples", pq.PQntuples) &&
        bind("PQresultErrorField", pq.PQresultErrorField) &&
        bind("PQresultErrorMessage", pq.PQresultErrorMessage) &&
        bind("PQresultStatus", pq.PQresultStatus) &&
        bind("PQsetNoticeProcessor", pq.PQsetNoticeProcessor) && bind("PQstatus", pq.PQstatus);
    if (!found) return CannotLoad(soname);
    return pq;
}

}  // namespace imgdl::ledger

#include "ledger/SharedLibrary.h"

#include <dlfcn.h>

namespace imgdl::ledger {

namespace {

LedgerError CannotLoad(const std::string& name, const std::string& reason) {
    return Fail(LedgerErrc::Unavailable, name + " cannot be loaded: " + reason);
}

std::string LastReason() {
    const char* reason = ::dlerror();
    return reason ? reason : "unknown reason";
}

}  // namespace

void SharedLibrary::Close::operator()(void* handle) const {
    ::dlclose(handle);
}

LedgerResult<SharedLibrary> SharedLibrary::Open(std::string_view kind, const char* soname) {
    SharedLibrary library;
    library.name_ = std::string(kind) + " " + soname;
    library.handle_.reset(::dlopen(soname, RTLD_NOW | RTLD_LOCAL));
    if (!library.handle_) return CannotLoad(library.name_, LastReason());
    return library;
}

void* SharedLibrary::find(const char* name) {
    void* symbol = ::dlsym(handle_.get(), name);
    if (!symbol) reason_ = LastReason();
    return symbol;
}

LedgerError SharedLibrary::missing() const {
    return CannotLoad(name_, reason_);
}

}  // namespace imgdl::ledger

#pragma once
// A client library opened with dlopen when a ledger needs it, rather than linked: a linked
// library is mapped and relocated on every run of every program, though most runs never
// open a ledger.
#include <memory>
#include <string>
#include <string_view>

#include "ledger/LedgerError.h"

namespace imgdl::ledger {

// The library stays loaded while this (or what it was moved to) lives; functions found in
// it must not be called after that.
class SharedLibrary {
  public:
    // RTLD_NOW: a library that lacks something it needs is refused here, not midway
    // through an operation. RTLD_LOCAL: its symbols are reached only through bind.
    // `kind` names it in messages: "<kind> <soname> cannot be loaded: <dlerror's reason>",
    // Unavailable.
    static LedgerResult<SharedLibrary> Open(std::string_view kind, const char* soname);

    // Points `function` at the library's `name`; false when it has none, and then
    // missing() says which.
    template <class Function>
    bool bind(const char* name, Function& function) {
        function = reinterpret_cast<Function>(find(name));
        return function != nullptr;
    }
    LedgerError missing() const;

  private:
    struct Close {
        void operator()(void* handle) const;
    };
    SharedLibrary() = default;
    void* find(const char* name);

    std::string name_;    // kind and soname, for messages
    std::string reason_;  // dlerror's text for the last name not found
    std::unique_ptr<void, Close> handle_;
};

}  // namespace imgdl::ledger

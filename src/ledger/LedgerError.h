#pragma once
// What a ledger operation returns instead of throwing: a code to decide on and a message
// to show. Messages never carry a database password (see RedactUri).
#include <optional>
#include <string>
#include <utility>

namespace imgdl::ledger {

enum class LedgerErrc {
    Ok,
    InvalidRange,    // init: the MAC range or the first serial number is refused
    AlreadyExists,   // init: a ledger is already there
    NotInitialised,  // no ledger at the location (init has not been run there)
    Exhausted,       // every MAC of the range is held; nothing was allocated
    NoSuchUnit,      // no unit row has that id
    UnitClosed,      // the unit's row is in a state that does not allow the change
    Unavailable,     // the file cannot be opened or the server cannot be reached
    Database,        // any other failure of the database
};

struct LedgerError {
    LedgerErrc code = LedgerErrc::Ok;
    std::string message;

    bool failed() const { return code != LedgerErrc::Ok; }
};

inline LedgerError Fail(LedgerErrc code, std::string message) {
    return LedgerError{code, std::move(message)};
}

// A value or the error that prevented it.
template <class T>
class LedgerResult {
  public:
    LedgerResult(T value) : value_(std::move(value)) {}
    LedgerResult(LedgerError error) : error_(std::move(error)) {}

    bool ok() const { return value_.has_value(); }
    const T& value() const& { return *value_; }
    T& value() & { return *value_; }
    T&& value() && { return std::move(*value_); }
    const LedgerError& error() const { return error_; }

  private:
    std::optional<T> value_;
    LedgerError error_;
};

}  // namespace imgdl::ledger

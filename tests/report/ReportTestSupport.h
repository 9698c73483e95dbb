#pragma once
// Hand-made ledger rows and a time zone set for one test.
#include <cstdlib>
#include <ctime>
#include <optional>
#include <string>

#include "ledger/Ledger.h"

namespace imgdl::test {

// TZ for the life of the object; the one before comes back after.
class TimeZone {
  public:
    explicit TimeZone(const char* zone) {
        if (const char* old = std::getenv("TZ")) before_ = old;
        setenv("TZ", zone, 1);
        tzset();
    }
    ~TimeZone() {
        if (before_)
            setenv("TZ", before_->c_str(), 1);
        else
            unsetenv("TZ");
        tzset();
    }
    TimeZone(const TimeZone&) = delete;
    TimeZone& operator=(const TimeZone&) = delete;

  private:
    std::optional<std::string> before_;
};

struct HandRow {
    std::uint64_t mac = 0;
    ledger::UnitResult result = ledger::UnitResult::Done;
    const char* started = "";
    const char* ended = "";
    const char* cause = "";
    const char* station = "bench1";
    const char* port = "";
    const char* found = "";
};

inline ledger::UnitRecord Row(const HandRow& s) {
    ledger::UnitRecord u;
    u.mac = s.mac;
    u.serial = static_cast<std::uint32_t>(s.mac & 0xFFFF);
    u.target = "127.0.0.1";
    u.kind = "identity";
    u.started = s.started;
    u.ended = s.ended;
    u.result = s.result;
    u.cause = s.cause;
    u.station = s.station;
    u.port = s.port;
    u.found = s.found;
    return u;
}

}  // namespace imgdl::test

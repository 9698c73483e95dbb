#include "ShiftTime.h"

#include <cstdio>
#include <ctime>

namespace imgdl::report {
namespace {

// Days from 1970-01-01 to the given proleptic Gregorian date (H. Hinnant's days_from_civil),
// so no conversion depends on the process's time zone.
std::int64_t DaysFromCivil(int year, int month, int day) {
    const std::int64_t y = year - (month <= 2 ? 1 : 0);
    const std::int64_t era = (y >= 0 ? y : y - 399) / 400;
    const std::int64_t yearOfEra = y - era * 400;
    const std::int64_t dayOfYear = (153 * (month + (month > 2 ? -3 : 9)) + 2) / 5 + day - 1;
    const std::int64_t dayOfEra = yearOfEra * 365 + yearOfEra / 4 - yearOfEra / 100 + dayOfYear;
    return era * 146097 + dayOfEra - 719468;
}

int DaysInMonth(int year, int month) {
    static constexpr int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    const bool leap = (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
    return month == 2 && leap ? 29 : kDays[month - 1];
}

// Reads fixed-width decimal fields and single separators off the front of a text.
class Cursor {
  public:
    explicit Cursor(std::string_view text) : text_(text) {}
    std::optional<int> digits(std::size_t count) {
        if (text_.size() < count) return std::nullopt;
        int value = 0;
        for (std::size_t i = 0; i < count; ++i) {
            if (text_[i] < '0' || text_[i] > '9') return std::nullopt;
            value = value * 10 + (text_[i] - '0');
        }
        text_.remove_prefix(count);
        return value;
    }
    bool skip(char ch) {
        if (text_.empty() || text_.front() != ch) return false;
        text_.remove_prefix(1);
        return true;
    }
    bool atEnd() const { return text_.empty(); }

  private:
    std::string_view text_;
};

struct Fields {
    int year = 0, month = 0, day = 0, hour = 0, minute = 0, second = 0;
};

// YYYY-MM-DDTHH:MM[:SS], checked field by field; the cursor stops after it.
std::optional<Fields> ReadDateTime(Cursor& in, bool secondsRequired) {
    Fields f;
    const auto year = in.digits(4);
    if (!year || !in.skip('-')) return std::nullopt;
    const auto month = in.digits(2);
    if (!month || !in.skip('-')) return std::nullopt;
    const auto day = in.digits(2);
    if (!day || !(in.skip('T') || in.skip('t'))) return std::nullopt;
    const auto hour = in.digits(2);
    if (!hour || !in.skip(':')) return std::nullopt;
    const auto minute = in.digits(2);
    if (!minute) return std::nullopt;
    std::optional<int> second = 0;
    if (in.skip(':'))
        second = in.digits(2);
    else if (secondsRequired)
        return std::nullopt;
    if (!second) return std::nullopt;
    f = {*year, *month, *day, *hour, *minute, *second};
    if (f.month < 1 || f.month > 12 || f.day < 1 || f.day > DaysInMonth(f.year, f.month) ||
        f.hour > 23 || f.minute > 59 || f.second > 59)
        return std::nullopt;
    return f;
}

Instant ToInstant(const Fields& f) {
    return DaysFromCivil(f.year, f.month, f.day) * 86400 + f.hour * 3600 + f.minute * 60 + f.second;
}

// Z, or +HH:MM, +HHMM, -HH:MM ...: seconds east of UTC.
std::optional<int> ReadOffset(Cursor& in) {
    if (in.skip('Z') || in.skip('z')) return 0;
    int sign = 0;
    if (in.skip('+'))
        sign = 1;
    else if (in.skip('-'))
        sign = -1;
    else
        return std::nullopt;
    const auto hours = in.digits(2);
    if (!hours) return std::nullopt;
    in.skip(':');
    const auto minutes = in.digits(2);
    if (!minutes || *hours > 23 || *minutes > 59) return std::nullopt;
    return sign * (*hours * 3600 + *minutes * 60);
}

}  // namespace

std::optional<Instant> ParseLedgerTime(std::string_view text) {
    Cursor in(text);
    const auto fields = ReadDateTime(in, true);
    if (!fields || !in.skip('Z') || !in.atEnd()) return std::nullopt;
    return ToInstant(*fields);
}

std::optional<Instant> ParseIsoTime(std::string_view text) {
    Cursor in(text);
    const auto fields = ReadDateTime(in, false);
    if (!fields) return std::nullopt;
    const auto offset = ReadOffset(in);
    if (!offset || !in.atEnd()) return std::nullopt;
    return ToInstant(*fields) - *offset;
}

LocalTime ToLocal(Instant t) {
    const std::time_t time = static_cast<std::time_t>(t);
    std::tm local{};
    localtime_r(&time, &local);
    return {local.tm_year + 1900, local.tm_mon + 1, local.tm_mday,  local.tm_hour,
            local.tm_min,         local.tm_sec,     local.tm_gmtoff};
}

std::string FormatLocalTime(Instant t) {
    const LocalTime l = ToLocal(t);
    const long offset = l.offset < 0 ? -l.offset : l.offset;
    char text[48];
    std::snprintf(text, sizeof text, "%04d-%02d-%02dT%02d:%02d:%02d%c%02ld:%02ld", l.year, l.month,
                  l.day, l.hour, l.minute, l.second, l.offset < 0 ? '-' : '+', offset / 3600,
                  offset % 3600 / 60);
    return text;
}

Instant LocalHourStart(Instant t) {
    const LocalTime l = ToLocal(t);
    return t - l.minute * 60 - l.second;
}

}  // namespace imgdl::report

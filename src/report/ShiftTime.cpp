#include "ShiftTime.h"

#include <cstdio>
#include <ctime>

#include "common/UtcTime.h"

namespace imgdl::report {

// The ledger's times and a person's, read once for every program here.
std::optional<Instant> ParseLedgerTime(std::string_view text) {
    const auto time = imgdl::ParseUtcText(text);
    if (!time) return std::nullopt;
    return time->time_since_epoch().count();
}

std::optional<Instant> ParseIsoTime(std::string_view text) {
    const auto time = imgdl::ParseIsoTime(text);
    if (!time) return std::nullopt;
    return time->time_since_epoch().count();
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

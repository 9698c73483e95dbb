#include "common/UtcTime.h"

#include <cstdio>
#include <ctime>

namespace imgdl {

std::string UtcText(WallTime time) {
    const std::time_t t = std::chrono::system_clock::to_time_t(time);
    std::tm utc{};
    gmtime_r(&t, &utc);
    char text[32];
    std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%SZ", &utc);
    return text;
}

namespace {

// `width` decimal digits at the front of `text`, taken off it.
std::optional<int> Digits(std::string_view& text, std::size_t width) {
    if (text.size() < width) return std::nullopt;
    int value = 0;
    for (std::size_t i = 0; i < width; ++i) {
        if (text[i] < '0' || text[i] > '9') return std::nullopt;
        value = value * 10 + (text[i] - '0');
    }
    text.remove_prefix(width);
    return value;
}

bool Take(std::string_view& text, char c) {
    if (text.empty() || text.front() != c) return false;
    text.remove_prefix(1);
    return true;
}

// Date and time of day, as UTC when no offset followed: what is left of `text` is after it.
std::optional<WallTime> ParseDateTime(std::string_view& text, bool secondsOptional) {
    int field[6] = {};
    const std::size_t width[6] = {4, 2, 2, 2, 2, 2};
    const char before[6] = {0, '-', '-', 'T', ':', ':'};
    for (int i = 0; i < 6; ++i) {
        if (i == 5 && secondsOptional && (text.empty() || text.front() != ':')) break;
        if (before[i] && !Take(text, before[i]) && !(i == 3 && Take(text, 't')))
            return std::nullopt;
        const auto value = Digits(text, width[i]);
        if (!value) return std::nullopt;
        field[i] = *value;
    }
    using namespace std::chrono;
    const year_month_day date{year{field[0]}, month{static_cast<unsigned>(field[1])},
                              day{static_cast<unsigned>(field[2])}};
    if (!date.ok() || field[3] > 23 || field[4] > 59 || field[5] > 59) return std::nullopt;
    return sys_days{date} + hours{field[3]} + minutes{field[4]} + seconds{field[5]};
}

}  // namespace

std::optional<WallTime> ParseUtcText(std::string_view text) {
    const auto time = ParseDateTime(text, false);
    if (!time || text != "Z") return std::nullopt;
    return time;
}

std::optional<WallTime> ParseIsoTime(std::string_view text) {
    const auto time = ParseDateTime(text, true);
    if (!time) return std::nullopt;
    if (text == "Z" || text == "z") return time;
    const bool east = text.starts_with('+');
    if (!Take(text, '+') && !Take(text, '-')) return std::nullopt;
    const auto h = Digits(text, 2);
    Take(text, ':');
    const auto m = Digits(text, 2);
    if (!h || !m || !text.empty() || *h > 23 || *m > 59) return std::nullopt;
    const auto offset = std::chrono::hours{*h} + std::chrono::minutes{*m};
    return east ? *time - offset : *time + offset;
}

}  // namespace imgdl

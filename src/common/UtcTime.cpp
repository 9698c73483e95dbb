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

std::optional<WallTime> ParseUtcText(std::string_view text) {
    if (text.size() != 20 || text[4] != '-' || text[7] != '-' || text[10] != 'T' ||
        text[13] != ':' || text[16] != ':' || text[19] != 'Z')
        return std::nullopt;
    int field[6] = {};
    const int at[6] = {0, 5, 8, 11, 14, 17}, width[6] = {4, 2, 2, 2, 2, 2};
    for (int i = 0; i < 6; ++i)
        for (int k = 0; k < width[i]; ++k) {
            const char c = text[static_cast<std::size_t>(at[i] + k)];
            if (c < '0' || c > '9') return std::nullopt;
            field[i] = field[i] * 10 + (c - '0');
        }
    using namespace std::chrono;
    const year_month_day date{year{field[0]}, month{static_cast<unsigned>(field[1])},
                              day{static_cast<unsigned>(field[2])}};
    if (!date.ok() || field[3] > 23 || field[4] > 59 || field[5] > 60) return std::nullopt;
    return sys_days{date} + hours{field[3]} + minutes{field[4]} + seconds{field[5]};
}

}  // namespace imgdl

#pragma once
// Times as the ledger stores them: UTC to the second, "2024-05-01T12:34:56Z".
#include <chrono>
#include <optional>
#include <string>
#include <string_view>

namespace imgdl {

// To the second: a nanosecond clock ends in 2262, and a person may type 2999.
using WallTime = std::chrono::sys_seconds;

std::string UtcText(WallTime time);
inline std::string UtcText(std::chrono::system_clock::time_point time) {
    return UtcText(std::chrono::floor<std::chrono::seconds>(time));
}
// Exactly the form UtcText writes; anything else is nothing.
std::optional<WallTime> ParseUtcText(std::string_view text);
// ISO 8601 as a person types it, with its offset: "2026-12-10T06:00:00+01:00",
// "2026-12-10T06:00+0100", "2026-12-10T05:00:00Z". Without an offset it is nothing: a
// time in no zone would mean another moment on every station.
std::optional<WallTime> ParseIsoTime(std::string_view text);

}  // namespace imgdl

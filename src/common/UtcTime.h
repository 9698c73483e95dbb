#pragma once
// Times as the ledger stores them: UTC to the second, "2024-05-01T12:34:56Z".
#include <chrono>
#include <optional>
#include <string>
#include <string_view>

namespace imgdl {

using WallTime = std::chrono::system_clock::time_point;

std::string UtcText(WallTime time);
// Exactly the form UtcText writes; anything else is nothing.
std::optional<WallTime> ParseUtcText(std::string_view text);

}  // namespace imgdl

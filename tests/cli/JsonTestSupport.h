#pragma once
// Reads --json output as a script would: every line of standard output one JSON document.
#include <gtest/gtest.h>

#include <nlohmann/json.hpp>
#include <sstream>
#include <string>
#include <vector>

namespace imgdl::test {

// The documents of `out`, one a line; a line that is not JSON fails the test.
inline std::vector<nlohmann::json> JsonLines(const std::string& out) {
    std::vector<nlohmann::json> documents;
    std::istringstream lines(out);
    for (std::string line; std::getline(lines, line);) {
        auto document = nlohmann::json::parse(line, nullptr, false);
        EXPECT_FALSE(document.is_discarded()) << "not JSON: " << line;
        documents.push_back(std::move(document));
    }
    EXPECT_TRUE(out.empty() || out.back() == '\n') << "unfinished line: " << out;
    return documents;
}

// Exactly one document, as the single-result commands print.
inline nlohmann::json JsonDocument(const std::string& out) {
    const auto documents = JsonLines(out);
    EXPECT_EQ(documents.size(), 1u) << out;
    return documents.empty() ? nlohmann::json() : documents.front();
}

}  // namespace imgdl::test

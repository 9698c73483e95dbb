#pragma once
// --json output: each document on one line of standard output, so a stream of them
// (one per unit or row) reads as JSON Lines.
#include <cstdio>
#include <nlohmann/json.hpp>
#include <string>

namespace imgdl::cli {

inline void PrintJson(std::FILE* out, const nlohmann::json& document) {
    // Texts from files or recorders need not be UTF-8; they must not stop the output.
    const std::string line =
        document.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace);
    std::fprintf(out, "%s\n", line.c_str());
    std::fflush(out);
}

}  // namespace imgdl::cli

#pragma once
// The command line of imgdl, parsed into plain options, and the readers of the values
// several commands share.
#include <chrono>
#include <cstdint>
#include <optional>
#include <string>

#include "common/RecorderAddress.h"
#include "session/DownloadJob.h"

namespace imgdl::cli {

inline constexpr int kExitOk = 0;
inline constexpr int kExitUsage = 1;
inline constexpr int kExitRefused = 2;  // input refused before any connection
inline constexpr int kExitSession = 3;  // a session failed

// A recorder named on the command line: parsed once, as the address type says.
using Target = RecorderAddress;

// How sessions are run: connect retries and the time limits of each wait.
struct SessionLimits {
    int retries = 0;  // further connects after one that failed
    SessionTimeouts timeouts;
};

inline constexpr int kMaxRetries = 1000;

struct SendOptions {
    std::string kind;  // app, ptz, integrated, identity
    std::string file;
    std::optional<Target> target;
    std::optional<std::string> mac;
    std::optional<std::uint32_t> serial;
    bool autoIncrease = false;
    std::optional<std::string> logPath;
    bool trace = false;
    bool verbose = false;  // the decompressor's diagnostics on standard error
    bool json = false;     // the outcome as one JSON object on standard output
    SessionLimits limits;
};

// "A.B.C.D" or "A.B.C.D:PORT" (port 1..65535); nothing for anything else.
std::optional<Target> ParseTarget(const std::string& text);

// The text with every byte outside printable ASCII written as \xNN, so that what a
// person typed can be quoted on one line.
std::string Printable(const std::string& text);

// A time limit in seconds, fractions allowed, above 0 and at most a day.
std::optional<std::chrono::milliseconds> ParseSeconds(const std::string& text);

}  // namespace imgdl::cli

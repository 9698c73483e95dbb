#pragma once
// The command line of imgdl, parsed into plain options.
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "session/DownloadJob.h"

namespace imgdl::cli {

inline constexpr int kExitOk = 0;
inline constexpr int kExitUsage = 1;
inline constexpr int kExitRefused = 2;  // input refused before any connection
inline constexpr int kExitSession = 3;  // a session failed

struct Target {
    std::string host;  // dotted IPv4 text
    std::uint16_t port = 5000;
};

// How sessions are run: connect retries and the time limits of each wait.
struct SessionLimits {
    int retries = 0;  // further connects after one that failed
    SessionTimeouts timeouts;
};

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

// "HOST" or "HOST:PORT" (port 1..65535, read as the dialog reads its number fields);
// nothing for anything else.
std::optional<Target> ParseTarget(const std::string& text);

enum class Taken { No, Yes, Error };
// Reads args[i] (and its value, advancing i) when it is --retries, --connect-timeout,
// --ack-timeout or --write-timeout; `error` says what is wrong with the value.
Taken ParseSessionLimit(const std::vector<std::string>& args, std::size_t& i, SessionLimits& out,
                        std::string& error);

// Parses the words after "send"; an error text on failure.
std::optional<std::string> ParseSendOptions(const std::vector<std::string>& args, SendOptions& out);

}  // namespace imgdl::cli

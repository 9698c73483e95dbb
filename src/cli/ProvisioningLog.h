#pragma once
// A CSV record of every session: which identity and which image went to which unit.
#include <cstdint>
#include <string>

namespace imgdl::cli {

struct LogEntry {
    std::string target;   // host:port
    std::string command;  // CMD_... name
    std::int64_t length = 0;
    std::string imagePath;
    std::string mac;      // twelve hex digits, when one was sent
    std::string serial;   // decimal, when one was sent
    std::string version;  // MAJOR.MINOR.PATCH, when known
    std::string result;   // OK or the error's name
    std::string message;  // what the operator was told
    std::string cause;    // why a session failed: step, system error, bytes sent
};

class ProvisioningLog {
  public:
    explicit ProvisioningLog(std::string path) : path_(std::move(path)) {}
    // Appends one line (and the column names first when the file is new). False when
    // the file cannot be written.
    bool Append(const LogEntry& entry) const;

  private:
    std::string path_;
};

// One CSV field: quoted when it holds a comma, a quote or a line break.
std::string CsvField(const std::string& text);

}  // namespace imgdl::cli

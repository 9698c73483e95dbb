#include "ProvisioningLog.h"

#include <chrono>
#include <cstdio>
#include <ctime>
#include <memory>

namespace imgdl::cli {
namespace {

std::string UtcNow() {
    const std::time_t now = std::chrono::system_clock::to_time_t(std::chrono::system_clock::now());
    std::tm utc{};
    gmtime_r(&now, &utc);
    char text[32];
    std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%SZ", &utc);
    return text;
}

struct FileCloser {
    void operator()(std::FILE* f) const { std::fclose(f); }
};

}  // namespace

std::string CsvField(const std::string& text) {
    if (text.find_first_of(",\"\r\n") == std::string::npos) return text;
    std::string quoted = "\"";
    for (char c : text) {
        if (c == '"') quoted += '"';
        quoted += c;
    }
    return quoted + "\"";
}

bool ProvisioningLog::Append(const LogEntry& e) const {
    std::unique_ptr<std::FILE, FileCloser> file(std::fopen(path_.c_str(), "a"));
    if (!file) return false;
    std::string line;
    if (std::fseek(file.get(), 0, SEEK_END) == 0 && std::ftell(file.get()) == 0)
        line = "time_utc,target,command,length,image,mac,serial,version,result,message,cause\n";
    const std::string fields[] = {UtcNow(),    e.target,  e.command, std::to_string(e.length),
                                  e.imagePath, e.mac,     e.serial,  e.version,
                                  e.result,    e.message, e.cause};
    for (std::size_t i = 0; i < std::size(fields); ++i)
        line += (i ? "," : "") + CsvField(fields[i]);
    line += '\n';
    return std::fputs(line.c_str(), file.get()) >= 0 && std::fflush(file.get()) == 0;
}

}  // namespace imgdl::cli

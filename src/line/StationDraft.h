#pragma once
// A station file as its editing form holds it: text as a person types it, turned into a
// station file only through the parser imgdl station reads it with, so that what the form
// saves is what every bench runs. No widgets: the form is a view of this.
#include <chrono>
#include <string>
#include <variant>
#include <vector>

#include "station/StationFile.h"

namespace imgdl::line {

struct PortDraft {
    std::string name;
    std::string address;    // "A.B.C.D" or "A.B.C.D:PORT"
    std::string interface;  // may be empty
};

struct StationDraft {
    std::vector<PortDraft> ports;
    units::Recipe recipe = units::Recipe::Identity;
    std::string image;   // relative paths from the file's folder
    std::string ledger;  // likewise; empty: this machine's default ledger
    std::chrono::milliseconds settle{0}, goneAfter{2000};
};

// The draft of what `file` (read from `path`) holds, paths relative to its folder where
// they lie below it.
StationDraft DraftOf(const station::StationFile& file, const std::string& path);

// The station file `draft` makes for `path`, keeping from `base` what the form does not
// show (retries, timeouts, labels), the image's SHA-256 pinned; or every problem found,
// one sentence each.
std::variant<station::StationFile, std::vector<std::string>> FileOf(
    const StationDraft& draft, const station::StationFile& base, const std::string& path);

// Writes `file` to `path` whole or not at all; why not, or empty.
std::string SaveStationFile(const station::StationFile& file, const std::string& path);

}  // namespace imgdl::line

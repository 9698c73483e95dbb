#pragma once
// What a station does: its ports, the recipe every port runs, the image, the ledger and
// the timings. Read once where a person's text comes in (options, a station file).
#include <chrono>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "common/RecorderAddress.h"
#include "labels/LabelLayout.h"
#include "session/DownloadJob.h"
#include "units/UnitFlow.h"

namespace imgdl::station {

inline constexpr std::size_t kMaxPorts = 64;

struct StationPort {
    std::string name;
    RecorderAddress address;  // with the interface it goes out of, when the port has one
};

// A label for every unit that is done, written into a folder and/or printed.
struct StationLabels {
    std::string folder;   // label-MAC.pdf in it
    std::string printer;  // a CUPS printer
    labels::LabelLayout layout;

    bool wanted() const { return !folder.empty() || !printer.empty(); }
};

struct StationConfig {
    std::vector<StationPort> ports;
    units::Recipe recipe = units::Recipe::Identity;
    std::string image;   // the recipes that send an image
    std::string ledger;  // SQLite file or postgresql:// URI
    // After a unit is done, the time it takes to restart, before its absence is looked for.
    std::chrono::milliseconds settle{0};
    // A unit has left when probes have failed for this long.
    std::chrono::milliseconds goneAfter{2000};
    // Each probe is a connect; 64 empty ports at this pace cost under 1% of a core.
    std::chrono::milliseconds probeEvery{400};
    std::chrono::milliseconds ledgerWait{10'000};
    int retries = 2;
    SessionTimeouts timeouts;
    StationLabels labels;
};

// "NAME=A.B.C.D[:PORT][%INTERFACE]": a name of letters, digits, '-', '_' and '.', then
// the recorder's address (port 5000 when none is given). Nothing, with `error` set, for
// anything else.
std::optional<StationPort> ParseStationPort(std::string_view text, std::string& error);

// The problems that stop a configuration from running (empty when it can run): no port,
// too many, two ports of one name, two ports that reach the same recorder.
std::vector<std::string> CheckStationConfig(const StationConfig& config);

}  // namespace imgdl::station

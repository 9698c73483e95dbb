#pragma once
// A line's set-up in one file a person can read, copy to every bench and edit: the ports,
// the recipe, the image and its pinned SHA-256, the ledger (never a password: those stay
// in ~/.pgpass), the timings and the labels. Relative paths are relative to the file.
//
//     # bench 3 of line 1
//     recipe = integrated
//     image = firmware/4.12.7.bin
//     image-sha256 = 9f86d081884c7d659a2feaa0c55ad015a3bf4f1b2b0b822cd15d6c15b0f00a08
//     ledger = postgresql://station@dbhost/line1
//     settle = 20
//     gone-after = 3
//     port = p1=192.168.0.1%enx1
//     port = p2=192.168.0.1%enx2
#include <string>
#include <string_view>
#include <variant>

#include "station/StationConfig.h"

namespace imgdl::station {

struct StationFile {
    StationConfig config;
    std::string imageSha256;  // lower-case hex; empty when the file pins none
    std::string labelLayout;  // the layout file's path, when one is named
};

struct StationFileError {
    std::string message;  // "FILE:LINE: what"
};

// `path` names the file in messages and anchors its relative paths.
std::variant<StationFile, StationFileError> ParseStationFile(std::string_view text,
                                                             const std::string& path);
std::variant<StationFile, StationFileError> ReadStationFile(const std::string& path);
// The text of a file that reads back as `file`, paths relative to `path`'s folder where
// they lie below it.
std::string FormatStationFile(const StationFile& file, const std::string& path);

}  // namespace imgdl::station

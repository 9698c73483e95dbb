#pragma once
// What one label says about one unit.
#include <cstdint>
#include <string>

namespace imgdl::labels {

struct LabelData {
    std::uint64_t mac = 0;  // 48 bits
    std::uint32_t serial = 0;
    std::string version;  // the firmware version; empty when not known
    std::string date;     // "2026-12-10"
    std::string mark;     // "REPRINT 1", "NOT DONE: uncertain", ...: shown when not empty
};

std::string BareMac(std::uint64_t mac);      // "0012AB3456CD", what the Code 128 holds
std::string ColonMac(std::uint64_t mac);     // "00:12:AB:34:56:CD", what a person reads
std::string QrText(const LabelData& label);  // "MAC=0012AB3456CD;SN=1234"

}  // namespace imgdl::labels

#include "station/StationConfig.h"

#include <set>

namespace imgdl::station {
namespace {

bool IsPortName(std::string_view name) {
    if (name.empty() || name.size() > 32) return false;
    for (const char c : name)
        if (!(std::isalnum(static_cast<unsigned char>(c)) || c == '-' || c == '_' || c == '.'))
            return false;
    return true;
}

}  // namespace

std::optional<StationPort> ParseStationPort(std::string_view text, std::string& error) {
    const std::size_t equals = text.find('=');
    if (equals == std::string_view::npos || !IsPortName(text.substr(0, equals))) {
        error =
            "a port is NAME=A.B.C.D[:PORT][%INTERFACE], with a name of letters, digits, "
            "'-', '_' and '.'";
        return std::nullopt;
    }
    const auto address =
        ParseRecorderAddress(text.substr(equals + 1), {kDefaultRecorderPort, true, true});
    if (!address) {
        error = "the address of port " + std::string(text.substr(0, equals)) +
                " is not A.B.C.D[:PORT][%INTERFACE]";
        return std::nullopt;
    }
    return StationPort{std::string(text.substr(0, equals)), *address};
}

std::vector<std::string> CheckStationConfig(const StationConfig& config) {
    std::vector<std::string> problems;
    if (config.ports.empty()) problems.push_back("the station has no port");
    if (config.ports.size() > kMaxPorts)
        problems.push_back("a station has at most " + std::to_string(kMaxPorts) + " ports");
    std::set<std::string> names, addresses;
    for (const StationPort& p : config.ports) {
        if (!names.insert(p.name).second) problems.push_back("two ports are named " + p.name);
        if (!addresses.insert(p.address.text()).second)
            problems.push_back("two ports reach " + p.address.text());
    }
    if (units::RecipeSendsImage(config.recipe) && config.image.empty())
        problems.push_back("the " + std::string(units::RecipeName(config.recipe)) +
                           " recipe needs an image");
    // Its identity must reach the unit once it is back from its restart, not before.
    if (config.recipe == units::Recipe::AppThenIdentity && config.settle.count() == 0)
        problems.push_back(
            "the app+identity recipe needs a settle time: how long the unit takes to restart "
            "after its image");
    if (config.ledger.empty()) problems.push_back("the station needs a ledger");
    return problems;
}

}  // namespace imgdl::station

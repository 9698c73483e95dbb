#include "station/Probe.h"

#include <ifaddrs.h>
#include <netinet/in.h>
#include <sys/socket.h>

#include <fstream>
#include <sstream>

#include "common/UniqueFd.h"
#include "ledger/MacRange.h"
#include "session/DownloadWorker.h"
#include "session/SocketIo.h"

namespace imgdl::station {
namespace {

std::string ReadSmall(const std::string& path) {
    std::ifstream in(path);
    std::string text;
    std::getline(in, text);
    return text;
}

bool HasIpv4Address(const std::string& device) {
    ifaddrs* list = nullptr;
    if (::getifaddrs(&list) != 0) return true;  // unknown: let the probe decide
    bool found = false;
    for (const ifaddrs* a = list; a && !found; a = a->ifa_next)
        found = a->ifa_addr && a->ifa_addr->sa_family == AF_INET && device == a->ifa_name;
    ::freeifaddrs(list);
    return found;
}

}  // namespace

bool UnitAnswers(const RecorderAddress& address, std::chrono::milliseconds timeout) {
    UniqueFd fd(::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0));
    if (!fd) return false;
    const std::string& device = address.interfaceName;
    if (!device.empty() && ::setsockopt(fd.get(), SOL_SOCKET, SO_BINDTODEVICE, device.c_str(),
                                        static_cast<socklen_t>(device.size())) != 0)
        return false;
    return ConnectWithin(fd.get(), SocketAddressOf(address), timeout) == 0;
}

std::optional<std::uint64_t> FindNeighbour(std::string_view table, std::string_view ip,
                                           std::string_view device) {
    std::istringstream lines{std::string(table)};
    std::string line;
    std::getline(lines, line);  // the heading
    while (std::getline(lines, line)) {
        std::istringstream fields(line);
        std::string address, type, flags, hw, mask, dev;
        if (!(fields >> address >> type >> flags >> hw >> mask >> dev)) continue;
        // 0x2: complete; an incomplete entry has no address yet.
        if (address != ip || (!device.empty() && dev != device) || flags == "0x0") continue;
        std::string digits;
        for (const char c : hw)
            if (c != ':') digits += c;
        const auto mac = ledger::ParseMac48(digits);
        if (mac && *mac != 0) return mac;
    }
    return std::nullopt;
}

std::optional<std::uint64_t> NeighbourMac(const RecorderAddress& address) {
    std::ifstream in("/proc/net/arp");
    std::stringstream table;
    table << in.rdbuf();
    return FindNeighbour(table.str(), address.hostText(), address.interfaceName);
}

std::string PortHold(const RecorderAddress& address) {
    const std::string& device = address.interfaceName;
    if (device.empty()) return {};
    const std::string state = ReadSmall("/sys/class/net/" + device + "/operstate");
    if (state.empty()) return "no interface " + device;
    if (state == "down" || state == "lowerlayerdown") return "link down on " + device;
    if (!HasIpv4Address(device)) return "no address on " + device;
    return {};
}

}  // namespace imgdl::station

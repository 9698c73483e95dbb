#include "station/Probe.h"

#include <ifaddrs.h>
#include <linux/neighbour.h>
#include <linux/netlink.h>
#include <linux/rtnetlink.h>
#include <net/if.h>
#include <netinet/in.h>
#include <sys/socket.h>

#include <cerrno>
#include <cstring>
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

bool ForgetNeighbour(const RecorderAddress& address) {
    if (address.interfaceName.empty()) return true;
    const unsigned index = ::if_nametoindex(address.interfaceName.c_str());
    if (index == 0) return false;
    struct Request {
        nlmsghdr header;
        ndmsg neighbour;
        alignas(NLMSG_ALIGNTO) unsigned char attributes[RTA_SPACE(4)];
    } request{};
    request.header.nlmsg_type = RTM_DELNEIGH;
    request.header.nlmsg_flags = NLM_F_REQUEST | NLM_F_ACK;
    request.neighbour.ndm_family = AF_INET;
    request.neighbour.ndm_ifindex = static_cast<int>(index);
    auto* destination = reinterpret_cast<rtattr*>(request.attributes);
    destination->rta_type = NDA_DST;
    destination->rta_len = RTA_LENGTH(4);
    std::memcpy(RTA_DATA(destination), address.ip.data(), 4);  // network order already
    request.header.nlmsg_len = NLMSG_LENGTH(sizeof(ndmsg)) + RTA_SPACE(4);
    UniqueFd fd(::socket(AF_NETLINK, SOCK_RAW | SOCK_CLOEXEC, NETLINK_ROUTE));
    if (!fd || ::send(fd.get(), &request, request.header.nlmsg_len, 0) < 0) return false;
    // The kernel's answer: 0, or an error (no entry is as good as a forgotten one).
    alignas(nlmsghdr) unsigned char reply[256];
    const long n = ::recv(fd.get(), reply, sizeof reply, 0);
    if (n < static_cast<long>(NLMSG_LENGTH(sizeof(nlmsgerr)))) return false;
    const auto* header = reinterpret_cast<const nlmsghdr*>(reply);
    if (header->nlmsg_type != NLMSG_ERROR) return false;
    const int error = -static_cast<const nlmsgerr*>(NLMSG_DATA(header))->error;
    return error == 0 || error == ENOENT;
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

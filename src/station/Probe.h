#pragma once
// What a station's port learns of its unit and its link without a session: whether a
// unit answers (a TCP connection to its address, out of the port's interface, that sends
// nothing and is closed at once), its Ethernet address, and what keeps the port down.
#include <chrono>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "common/RecorderAddress.h"

namespace imgdl::station {

bool UnitAnswers(const RecorderAddress& address, std::chrono::milliseconds timeout);

// The Ethernet address the kernel's neighbour table holds for the unit (after a probe
// answered, so the entry is fresh); nothing where there is none (loopback, no ARP).
std::optional<std::uint64_t> NeighbourMac(const RecorderAddress& address);
// The same from the text of /proc/net/arp, for `ip` on `device` (any device when empty).
std::optional<std::uint64_t> FindNeighbour(std::string_view table, std::string_view ip,
                                           std::string_view device);

// Drops the kernel's neighbour entry of the unit's address on the port's interface, so
// that the next unit's Ethernet address is learned afresh, never read from the last one's
// entry. Nothing for a port without an interface; false when the kernel refused
// (it needs CAP_NET_ADMIN).
bool ForgetNeighbour(const RecorderAddress& address);

// Why the port's interface cannot reach a unit ("link down on eth1", "no address on
// eth1", "no interface eth1"); empty when it can, or when the port names no interface.
std::string PortHold(const RecorderAddress& address);

}  // namespace imgdl::station

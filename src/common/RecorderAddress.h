#pragma once
// Where a recorder is: an IPv4 address, a TCP port and, for a station whose ports share
// one factory address, the network interface that leads to it. Parsed once where a
// person's text comes in; below that nothing handles address text.
#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace imgdl {

inline constexpr std::uint16_t kDefaultRecorderPort = 5000;

struct RecorderAddress {
    std::array<std::uint8_t, 4> ip{};
    std::uint16_t port = kDefaultRecorderPort;
    std::string interfaceName;  // empty: whichever interface the routes choose

    // "a.b.c.d:port", with "%interface" when one is set.
    std::string text() const;
    // "a.b.c.d" alone.
    std::string hostText() const;
    bool operator==(const RecorderAddress&) const = default;
};

struct AddressSyntax {
    std::uint16_t defaultPort = kDefaultRecorderPort;
    bool allowPort = true;
    bool allowInterface = false;  // "...%eth1" (a station's port)
};

// Four decimal numbers 0-255 (a leading zero is still decimal), then ":PORT" (1-65535)
// and "%INTERFACE" where the syntax allows them. Anything else is refused: names, short
// forms such as 127.1, hex, port 0, blanks, control or non-ASCII bytes.
std::optional<RecorderAddress> ParseRecorderAddress(std::string_view text,
                                                    const AddressSyntax& syntax = {});

// A port number as typed: 1-65535 in decimal, blanks around it allowed.
std::optional<std::uint16_t> ParsePortNumber(std::string_view text);

// A Linux interface name: 1-15 bytes, printable ASCII without '/', ':', '%' or blanks.
bool IsInterfaceName(std::string_view name);

}  // namespace imgdl

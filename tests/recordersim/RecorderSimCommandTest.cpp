// recorder-sim's --count and --script, seen from the network as a client sees them.
#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>

#include <chrono>
#include <optional>
#include <vector>

#include "SessionScript.h"
#include "common/ByteOrder.h"
#include "common/UniqueFd.h"
#include "session/DownloadProtocol.h"
#include "support/HelperProcess.h"

namespace imgdl::sim {
namespace {

using namespace std::chrono_literals;
using test::HelperProcess;

UniqueFd Connect(std::uint16_t port) {
    UniqueFd fd(::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0));
    sockaddr_in peer{};
    peer.sin_family = AF_INET;
    peer.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    peer.sin_port = htons(port);
    if (::connect(fd.get(), reinterpret_cast<sockaddr*>(&peer), sizeof peer) != 0) return {};
    return fd;
}

bool SendAll(int fd, const std::vector<std::uint8_t>& bytes) {
    std::size_t sent = 0;
    while (sent < bytes.size()) {
        const long n = ::send(fd, bytes.data() + sent, bytes.size() - sent, MSG_NOSIGNAL);
        if (n <= 0) return false;
        sent += static_cast<std::size_t>(n);
    }
    return true;
}

bool SendWord(int fd, std::uint32_t word) {
    std::vector<std::uint8_t> bytes(4);
    StoreBe32(bytes.data(), word);
    return SendAll(fd, bytes);
}

// A word, or nullopt when the recorder closed or stayed silent for `timeout`.
std::optional<std::uint32_t> ReceiveWord(int fd, std::chrono::milliseconds timeout = 5s) {
    std::uint8_t bytes[4];
    std::size_t got = 0;
    while (got < 4) {
        pollfd p{fd, POLLIN, 0};
        if (::poll(&p, 1, static_cast<int>(timeout.count())) <= 0) return std::nullopt;
        const long n = ::recv(fd, bytes + got, 4 - got, 0);
        if (n <= 0) return std::nullopt;
        got += static_cast<std::size_t>(n);
    }
    return LoadBe32(bytes);
}

// What a client saw of one session.
struct Seen {
    std::optional<std::uint32_t> echo;
    std::vector<std::uint32_t> answers;
    std::chrono::milliseconds took{};
};

// One session: handshake, payload, then up to `answers` answer words.
Seen Play(std::uint16_t port, std::uint32_t command, std::size_t payloadSize, int answers) {
    Seen seen;
    const auto start = std::chrono::steady_clock::now();
    UniqueFd fd = Connect(port);
    if (!fd || !SendWord(fd.get(), command) || !ReceiveWord(fd.get())) return seen;
    if (!SendWord(fd.get(), static_cast<std::uint32_t>(payloadSize))) return seen;
    seen.echo = ReceiveWord(fd.get());
    if (seen.echo != payloadSize) return seen;
    if (!SendAll(fd.get(), std::vector<std::uint8_t>(payloadSize, 0x5A))) return seen;
    for (int i = 0; i < answers; ++i) {
        const auto word = ReceiveWord(fd.get(), 700ms);
        if (!word) break;
        seen.answers.push_back(*word);
    }
    seen.took = std::chrono::duration_cast<std::chrono::milliseconds>(
        std::chrono::steady_clock::now() - start);
    return seen;
}

class RecorderSimCommandTest : public testing::Test {
  protected:
    // Starts recorder-sim on free ports; the ports it listens on.
    std::vector<std::uint16_t> start(std::vector<std::string> args, int count) {
        args.insert(args.begin(), {IMGDL_RECORDER_SIM, "--listen", "127.0.0.1:0"});
        sim_ = std::make_unique<HelperProcess>(std::move(args));
        std::vector<std::uint16_t> ports;
        for (int i = 0; i < count; ++i) {
            const std::string line = sim_->readLine(10s);
            const auto colon = line.rfind(':');
            if (line.rfind("listening on 127.0.0.1:", 0) != 0) break;
            ports.push_back(static_cast<std::uint16_t>(std::stoi(line.substr(colon + 1))));
        }
        return ports;
    }

    // Stops the simulator; the session lines it printed.
    std::vector<std::string> stop() {
        sim_->sendSignal(SIGTERM);
        auto lines = sim_->readAllLines();
        EXPECT_EQ(sim_->wait(), 0);
        return lines;
    }

    std::unique_ptr<HelperProcess> sim_;
};

TEST_F(RecorderSimCommandTest, CountServesConsecutivePorts) {
    const auto ports = start({"--count", "3"}, 3);
    ASSERT_EQ(ports.size(), 3u);
    for (std::size_t i = 0; i < ports.size(); ++i) {
        EXPECT_EQ(ports[i], ports[0] + i);
        const Seen seen = Play(ports[i], CMD_MAC_ADDRESS, 8, 2);
        EXPECT_EQ(seen.answers, (std::vector<std::uint32_t>{REPLY_ACK, REPLY_ACK}));
    }
    const auto lines = stop();
    ASSERT_EQ(lines.size(), 3u);
    for (std::size_t i = 0; i < ports.size(); ++i)
        EXPECT_EQ(lines[i].rfind("127.0.0.1:" + std::to_string(ports[i]) + " CMD_MAC_ADDRESS", 0),
                  0u)
            << lines[i];
}

TEST_F(RecorderSimCommandTest, ScriptPlaysOneModePerSessionThenOk) {
    const struct {
        const char* mode;
        std::uint32_t command;
        std::vector<std::uint32_t> answers;
        bool echoed;
    } sessions[] = {
        {"incompatible", CMD_FIRMWARE_VERSION, {REPLY_INCOMPATIBLE}, true},
        {"garbage-ack", CMD_MAC_ADDRESS, {0x12345678, REPLY_ACK}, true},
        {"bad-echo", CMD_MAC_ADDRESS, {}, false},
        {"close-before-ack", CMD_MAC_ADDRESS, {}, true},
        {"close-between-acks", CMD_MAC_ADDRESS, {REPLY_ACK}, true},
        {"stall", CMD_MAC_ADDRESS, {}, true},
        {"after the list: ok", CMD_MAC_ADDRESS, {REPLY_ACK, REPLY_ACK}, true},
    };
    // Each recorder plays the script from its own first session.
    const auto ports = start({"--count", "2", "--script",
                              "incompatible,garbage-ack,bad-echo,close-before-ack,"
                              "close-between-acks,stall"},
                             2);
    ASSERT_EQ(ports.size(), 2u);
    for (const std::uint16_t port : ports) {
        for (const auto& s : sessions) {
            SCOPED_TRACE(std::string(s.mode) + " on port " + std::to_string(port));
            const Seen seen = Play(port, s.command, s.command == CMD_FIRMWARE_VERSION ? 4 : 8,
                                   static_cast<int>(s.answers.size()) + 1);
            EXPECT_EQ(seen.echo.has_value() && *seen.echo != 0xFFFFFFFF, s.echoed);
            EXPECT_EQ(seen.answers, s.answers);
        }
    }
    EXPECT_EQ(stop().size(), 2 * std::size(sessions));
}

// A recorder that never answers the command: the client gets no chance to send anything.
TEST_F(RecorderSimCommandTest, MuteLeavesTheCommandUnanswered) {
    const auto ports = start({"--script", "mute"}, 1);
    ASSERT_EQ(ports.size(), 1u);
    {
        UniqueFd fd = Connect(ports[0]);
        ASSERT_TRUE(fd);
        ASSERT_TRUE(SendWord(fd.get(), CMD_MAC_AND_SERIAL));
        EXPECT_FALSE(ReceiveWord(fd.get(), 300ms));
    }
    const Seen next = Play(ports[0], CMD_MAC_AND_SERIAL, 12, 2);
    EXPECT_EQ(next.answers, (std::vector<std::uint32_t>{REPLY_ACK, REPLY_ACK}));
    const auto lines = stop();
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_NE(lines[0].find("length=0 answers=none ending=stalled"), std::string::npos) << lines[0];
}

TEST_F(RecorderSimCommandTest, SlowReadTakesItsTime) {
    const auto ports = start({"--script", "slow-read,ok"}, 1);
    ASSERT_EQ(ports.size(), 1u);
    constexpr std::size_t kSize = 256 * 1024;  // 32 reads of 8 KiB, 10 ms apart
    const Seen slow = Play(ports[0], CMD_APPLICATION_IMAGE, kSize, 2);
    EXPECT_EQ(slow.answers, (std::vector<std::uint32_t>{REPLY_ACK, REPLY_ACK}));
    EXPECT_GE(slow.took, 300ms);
    const Seen fast = Play(ports[0], CMD_APPLICATION_IMAGE, kSize, 2);
    EXPECT_EQ(fast.answers, (std::vector<std::uint32_t>{REPLY_ACK, REPLY_ACK}));
    EXPECT_LT(fast.took, slow.took);
    stop();
}

TEST_F(RecorderSimCommandTest, RefusesUnknownModesAndCounts) {
    EXPECT_FALSE(ParseScript("ok,bogus"));
    EXPECT_FALSE(ParseScript("ok,,stall"));
    EXPECT_FALSE(ParseScript(""));
    EXPECT_EQ(ParseScript("slow-read,ok")->size(), 2u);
    for (const std::vector<std::string>& args :
         {std::vector<std::string>{"--script", "ok,bogus"}, {"--count", "0"}, {"--count", "x"}}) {
        std::vector<std::string> argv{IMGDL_RECORDER_SIM, "--listen", "127.0.0.1:0"};
        argv.insert(argv.end(), args.begin(), args.end());
        HelperProcess sim(argv);
        EXPECT_EQ(sim.wait(), 2) << args[0] << " " << args[1];
    }
}

}  // namespace
}  // namespace imgdl::sim

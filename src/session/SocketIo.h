#pragma once
// Bounded socket waits and whole-word transfers for the download worker. Every call
// retries EINTR, never raises SIGPIPE and never waits longer than it is told.
#include <netinet/in.h>
#include <poll.h>

#include <chrono>
#include <cstdint>
#include <optional>

#include "common/UniqueFd.h"

namespace imgdl {

enum class WaitResult { Ready, TimedOut, Failed };

// Waits for any of `events` (POLLIN, POLLOUT ...) on the socket. An error or hang-up
// state counts as ready: the following send or receive reports it.
WaitResult WaitForSocket(int fd, short events, std::chrono::milliseconds timeout);

// Connects without blocking for longer than `timeout`; the socket is blocking again
// afterwards. 0, or the errno that stopped it (ETIMEDOUT when the time ran out).
int ConnectWithin(int fd, const sockaddr_in& peer, std::chrono::milliseconds timeout);

// One send call of `size` bytes; returns what it took, or -1 with errno set.
long SendOnce(int fd, const std::uint8_t* data, std::size_t size);

// Sends a word in network order in one send call; true when all 4 bytes were taken.
bool SendWord(int fd, std::uint32_t word);

// Why a whole word did not arrive.
struct ReceiveFailure {
    enum class Kind { TimedOut, Closed, Error } kind = Kind::TimedOut;
    int systemError = 0;    // with Error
    std::size_t bytes = 0;  // of the word that did arrive
};

// Receives a word in network order. A word that arrives in several segments is put
// together; end of stream, an error or the deadline before 4 bytes gives nothing (and
// says which in `failure`, when given).
std::optional<std::uint32_t> ReceiveWord(int fd, std::chrono::milliseconds timeout,
                                         ReceiveFailure* failure = nullptr);

}  // namespace imgdl

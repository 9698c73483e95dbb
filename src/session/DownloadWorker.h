#pragma once
// The session's worker: connects to the recorder, runs the handshake, streams the
// payload and awaits the acknowledgements, reporting only through the job's window.
// A failure is reported as its ERR_* code, after the cause (step, system error, how much
// of the payload had left) that explains it.
#include <netinet/in.h>

#include <cstdint>
#include <optional>

#include "session/DownloadJob.h"

namespace imgdl {

// The thread procedure of a session: one connection, closed on every path. 0 or the
// reported code.
int DownloadWorker(const DownloadJob& job);

// The peer of an address (the interface is bound separately).
sockaddr_in SocketAddressOf(const RecorderAddress& address);

// The piece size the payload starts with: SO_SNDBUF as the socket reports it, or
// kFallbackPieceSize when it cannot be read or is not positive.
std::int32_t SendBufferPieceSize(int socketFd);

// The next piece: the current piece size, cut to the bytes left.
std::int32_t NextPieceSize(std::int32_t pieceSize, std::int64_t sent, std::int32_t length);

// The bytes of the next piece starting at `sent`: the payload's own, or the patch where
// it stands in for them; never a piece that straddles the patch's edges.
std::span<const std::uint8_t> PieceBytes(const SessionPayload& payload, std::int64_t sent,
                                         std::int32_t piece);

// sent × 100 ÷ length rounded down, without overflow for any length.
std::uint32_t ProgressPercent(std::int64_t sent, std::int32_t length);

}  // namespace imgdl

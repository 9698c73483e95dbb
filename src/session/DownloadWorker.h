#pragma once
// The session's worker: connects to the recorder, runs the handshake, streams the
// payload and awaits the acknowledgements, reporting only through the job's window.
// Each operation returns 0 or the error code it has already reported.
#include <netinet/in.h>

#include <cstdint>
#include <optional>

#include "session/DownloadJob.h"

namespace imgdl {

// The thread procedure of a session: one connection, closed on every path.
int DownloadWorker(const DownloadJob& job);

// Command word and length word, each answered by the recorder. 0, ERR_NOT_RECORDER or
// ERR_LENGTH.
int Handshake(int socketFd, const DownloadJob& job);

// STAGE_SENDING, the payload, then the acknowledgement(s) and STAGE_DONE. 0 or the code.
int TransferData(int socketFd, const DownloadJob& job);

// The payload in pieces of the socket's send-buffer size, one progress report per piece.
// 0, ERR_NETWORK or ERR_SEND.
int SendInChunks(const std::uint8_t* data, std::int32_t length, int socketFd,
                 const DownloadJob& job);

// The target text converted as inet_addr converts it (network order); a text that is
// not a dotted address gives 255.255.255.255 (INADDR_NONE).
std::uint32_t ConvertTargetAddress(const char (&text)[16]);

// The peer of the job, or nothing when its text converts to INADDR_NONE: no connection
// is attempted to that address.
std::optional<sockaddr_in> TargetOf(const DownloadJob& job);

// The piece size SendInChunks starts with: SO_SNDBUF as the socket reports it, or
// kFallbackPieceSize when it cannot be read or is not positive.
std::int32_t SendBufferPieceSize(int socketFd);

// The next piece: the current piece size, cut to the bytes left.
std::int32_t NextPieceSize(std::int32_t pieceSize, std::int64_t sent, std::int32_t length);

// sent × 100 ÷ length rounded down, without overflow for any length.
std::uint32_t ProgressPercent(std::int64_t sent, std::int32_t length);

}  // namespace imgdl

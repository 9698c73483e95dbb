#pragma once
// Start-up of the socket layer that every download uses, once per run.
namespace imgdl {

// A peer that closes its end mid-download must cost a failed send, not the process:
// SIGPIPE is ignored from here on. False when that cannot be arranged.
bool StartSocketLayer();

}  // namespace imgdl

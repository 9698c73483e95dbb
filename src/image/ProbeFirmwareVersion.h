#pragma once
// Which firmware version an image file carries: its compressed application is
// expanded and the version tag read out of it.
#include <cstdint>
#include <optional>
#include <span>
#include <string>

#include "gzip/Diagnostics.h"
#include "image/ImageLayout.h"
#include "image/VersionTag.h"

namespace imgdl {

// The version value, or kProbeCannotOpen (0), kProbeNoVersion (-1) or
// kProbeOutOfMemory (-2). A file too short for the header, or for the compressed
// bytes the header announces, has no version; nothing past its end is read.
// The decompressor's diagnostics go to the sink given.
std::int32_t ProbeFirmwareVersion(const std::string& path, ImageLayout layout,
                                  gzip::DiagnosticSink& diagnostics = gzip::StandardOutputSink());

// The same for an image already in memory: the version of exactly these bytes.
std::int32_t ProbeFirmwareVersionOf(std::span<const std::uint8_t> image, ImageLayout layout,
                                    gzip::DiagnosticSink& diagnostics = gzip::StandardOutputSink());

// The string-table id the operator is shown for a probe that found no usable version
// (-1: "There is not image file."; 0 and -2: "There is a invalid data..."), or
// nothing for a version that may be sent. Out of memory is never sent as a version.
std::optional<int> ProbeFailureMessage(std::int32_t version);

}  // namespace imgdl

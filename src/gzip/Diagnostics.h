#pragma once
// The decompressor's diagnostic texts and where they go. The caller picks the
// sink: the dialog program keeps them on standard output, where the operator never
// sees them; a command-line front end keeps its standard output for results.
#include <cstdio>

namespace imgdl::gzip {

inline constexpr const char* kTextBadMagic = "Invalid gzip magic\n";
inline constexpr const char* kTextFormatViolated = "invalid compressed data--format violated\n";
inline constexpr const char* kTextMemoryExhausted = "memory_exhausted\n";
inline constexpr const char* kTextCrcError = "invalid compressed data--crc error\n";
inline constexpr const char* kTextLengthError = "invalid compressed data--length error\n";
inline constexpr const char* kTextIncompleteLiteral = "Incomplete literal tree\n";
inline constexpr const char* kTextIncompleteDistance = "incomplete distance tree\n";
inline constexpr const char* kTextCouldntWrite = "Couldnt write\n";

class DiagnosticSink {
  public:
    virtual ~DiagnosticSink() = default;
    virtual void write(const char* text) = 0;
};

// Prints each text with "%s" to standard output.
DiagnosticSink& StandardOutputSink();
// Prints each text to standard error.
DiagnosticSink& StandardErrorSink();
// Drops every text.
DiagnosticSink& DiscardSink();

}  // namespace imgdl::gzip

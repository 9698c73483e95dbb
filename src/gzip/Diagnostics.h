#pragma once
// The decompressor's diagnostic texts. They go to standard output only; callers
// learn the outcome from the result code.
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

inline void PrintDiagnostic(const char* text) {
    std::printf("%s", text);
}

}  // namespace imgdl::gzip

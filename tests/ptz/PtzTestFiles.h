#pragma once
// Shared by the PTZ tests: a temporary folder per test, whole-file reads and writes,
// and small byte editors so that each corrupted-file case is a line or two.
#include <gtest/gtest.h>

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <span>
#include <vector>

#include "ptz/PtzProtocol.h"

namespace imgdl::test {

using Bytes = std::vector<std::uint8_t>;

// Gives each test its own empty folder, removed afterwards.
class PtzFileTest : public ::testing::Test {
  protected:
    void SetUp() override;
    void TearDown() override;
    std::filesystem::path PathOf(const char* name) const { return dir_ / name; }
    // Names of the files in the folder, to see that no temporary file is left over.
    std::vector<std::string> FolderEntries() const;

  private:
    std::filesystem::path dir_;
};

Bytes ReadBytes(const std::filesystem::path& path);
void WriteBytes(const std::filesystem::path& path, std::span<const std::uint8_t> bytes);
void SetByte(const std::filesystem::path& path, std::size_t offset, std::uint8_t value);
void SetLe32(const std::filesystem::path& path, std::size_t offset, std::uint32_t value);
void Truncate(const std::filesystem::path& path, std::size_t size);
void Append(const std::filesystem::path& path, std::span<const std::uint8_t> bytes);
std::uint32_t Le32At(const Bytes& bytes, std::size_t offset);
// Rewrites an image file's first word so that all its words add up to 0 again.
void FixChecksum(const std::filesystem::path& path);

// A record with every field set from `number`, the reserved byte and the bytes after
// the name's NUL included, so a copy that drops or moves any byte shows.
PtzProtocol SampleProtocol(std::int32_t number);
Bytes BytesOf(const PtzProtocol& record);

}  // namespace imgdl::test

#include "PtzTestFiles.h"

#include <stdlib.h>

#include <algorithm>
#include <fstream>
#include <iterator>
#include <string>

namespace imgdl::test {

void PtzFileTest::SetUp() {
    std::string pattern = (std::filesystem::temp_directory_path() / "ptz_test.XXXXXX").string();
    ASSERT_NE(::mkdtemp(pattern.data()), nullptr);
    dir_ = pattern;
}

void PtzFileTest::TearDown() {
    std::error_code ignored;
    std::filesystem::remove_all(dir_, ignored);
}

std::vector<std::string> PtzFileTest::FolderEntries() const {
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(dir_))
        names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

Bytes ReadBytes(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return Bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

void WriteBytes(const std::filesystem::path& path, std::span<const std::uint8_t> bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()),
              static_cast<std::streamsize>(bytes.size()));
    ASSERT_TRUE(out.good()) << path;
}

void SetByte(const std::filesystem::path& path, std::size_t offset, std::uint8_t value) {
    Bytes bytes = ReadBytes(path);
    ASSERT_LT(offset, bytes.size());
    bytes[offset] = value;
    WriteBytes(path, bytes);
}

void SetLe32(const std::filesystem::path& path, std::size_t offset, std::uint32_t value) {
    for (std::size_t i = 0; i < 4; ++i)
        SetByte(path, offset + i, static_cast<std::uint8_t>(value >> (8 * i)));
}

void Truncate(const std::filesystem::path& path, std::size_t size) {
    std::filesystem::resize_file(path, size);
}

void Append(const std::filesystem::path& path, std::span<const std::uint8_t> bytes) {
    Bytes all = ReadBytes(path);
    all.insert(all.end(), bytes.begin(), bytes.end());
    WriteBytes(path, all);
}

std::uint32_t Le32At(const Bytes& bytes, std::size_t offset) {
    std::uint32_t value = 0;
    for (std::size_t i = 0; i < 4; ++i)
        value |= static_cast<std::uint32_t>(bytes.at(offset + i)) << (8 * i);
    return value;
}

void FixChecksum(const std::filesystem::path& path) {
    const Bytes bytes = ReadBytes(path);
    std::uint32_t sum = 0;
    for (std::size_t i = 4; i + 4 <= bytes.size(); i += 4) sum += Le32At(bytes, i);
    SetLe32(path, 0, 0u - sum);
}

PtzProtocol SampleProtocol(std::int32_t number) {
    PtzProtocol record;
    record.number = number;
    record.SetName("Proto " + std::to_string(number));
    record.name[22] = 'x';  // after the NUL: must be carried too
    record.name[23] = 'y';
    const auto seed = static_cast<std::uint8_t>(number);
    record.parity = 3;
    record.dataBits = 2;
    record.stopBits = 1;
    record.reserved = static_cast<std::uint8_t>(0xA0 + seed % 16);
    record.baudRate = 9600 + number;
    for (int k = 0; k < kPtzCommandCount; ++k) {
        PtzCommand& command = record.commands[static_cast<std::size_t>(k)];
        command.enable = static_cast<std::uint8_t>(k % 2);
        command.commandDelay = static_cast<std::uint8_t>(seed + k);
        command.checksumMethod = static_cast<std::uint8_t>(seed ^ k);
        for (std::size_t i = 0; i < command.data.size(); ++i)
            command.data[i] = static_cast<std::uint8_t>(seed * 7 + k * 3 + i);
    }
    return record;
}

Bytes BytesOf(const PtzProtocol& record) {
    Bytes bytes(PtzProtocol::kSize);
    record.ToBytes(std::span<std::uint8_t, PtzProtocol::kSize>(bytes.data(), bytes.size()));
    return bytes;
}

}  // namespace imgdl::test

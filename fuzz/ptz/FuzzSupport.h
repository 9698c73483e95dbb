#pragma once
// Helpers of the PTZ fuzz targets: a hard stop on a broken expectation (so both the
// fuzzer and the corpus replay report it), and one scratch file per process through
// which the file loaders are driven with the same input as the byte loaders.
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <span>
#include <string>
#include <system_error>

namespace imgdl::fuzz {

inline void Expect(bool condition, const char* what) {
    if (condition) return;
    std::fprintf(stderr, "expectation failed: %s\n", what);
    std::abort();
}

// A file in the temporary folder, named after the process, removed at exit.
class ScratchFile {
  public:
    explicit ScratchFile(const char* stem)
        : path_(std::filesystem::temp_directory_path() /
                (std::string(stem) + "." + std::to_string(::getpid()) + ".tmp")) {}
    ScratchFile(const ScratchFile&) = delete;
    ScratchFile& operator=(const ScratchFile&) = delete;
    ~ScratchFile() {
        std::error_code ignored;
        std::filesystem::remove(path_, ignored);
    }

    const std::filesystem::path& Path() const { return path_; }

    void Write(std::span<const std::uint8_t> bytes) const {
        std::ofstream out(path_, std::ios::binary | std::ios::trunc);
        out.write(reinterpret_cast<const char*>(bytes.data()),
                  static_cast<std::streamsize>(bytes.size()));
        Expect(static_cast<bool>(out), "scratch file written");
    }

  private:
    std::filesystem::path path_;
};

}  // namespace imgdl::fuzz

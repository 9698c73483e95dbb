#pragma once
// A folder of this process's own under $TMPDIR (or /tmp), removed with what it holds.
#include <filesystem>

namespace imgdl::cli {

class PrivateFolder {
  public:
    // Makes the folder; made() is false when it could not be made.
    PrivateFolder();
    PrivateFolder(const PrivateFolder&) = delete;
    PrivateFolder& operator=(const PrivateFolder&) = delete;
    ~PrivateFolder();

    bool made() const { return !path_.empty(); }

    const std::filesystem::path& path() const { return path_; }

  private:
    std::filesystem::path path_;
};

}  // namespace imgdl::cli

#pragma once
// A fresh directory per test, removed with everything in it afterwards.
#include <filesystem>
#include <string>

#include <gtest/gtest.h>

namespace imgdl::test {

class TempDir {
  public:
    TempDir() {
        const auto* info = testing::UnitTest::GetInstance()->current_test_info();
        path_ = std::filesystem::temp_directory_path() /
                ("imgdl-" + std::string(info ? info->name() : "test") + "-" +
                 std::to_string(::getpid()));
        std::filesystem::remove_all(path_);
        std::filesystem::create_directories(path_);
    }
    ~TempDir() {
        std::error_code ignored;
        std::filesystem::remove_all(path_, ignored);
    }
    std::string file(const std::string& name) const { return (path_ / name).string(); }
    const std::filesystem::path& path() const { return path_; }

  private:
    std::filesystem::path path_;
};

}  // namespace imgdl::test

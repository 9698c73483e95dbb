#pragma once
// imgdl run as a subprocess in a scratch directory, with its output captured.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "RecorderSimulator.h"
#include "TestImage.h"
#include "support/TempDir.h"

namespace imgdl::test {

struct Result {
    int exit = -1;
    std::string out;
    std::string err;
};

// What timeout(1) exits with when it had to stop the program.
inline constexpr int kTimedOut = 124;

class CliTest : public testing::Test {
  protected:
    // Runs imgdl with the words given (already shell-quoted where needed). A run that
    // outlasts `seconds` is stopped and reports kTimedOut, so a hang fails the test.
    Result imgdl(const std::string& args, int seconds = 60) {
        return run(IMGDL_PROGRAM, args, seconds);
    }
    Result run(const std::string& program, const std::string& args, int seconds = 60) {
        const std::string out = file("stdout"), err = file("stderr");
        const std::string command = "cd '" + dir_.string() + "' && timeout -k 1 " +
                                    std::to_string(seconds) + " " + program + " " + args + " > '" +
                                    out + "' 2> '" + err + "' < /dev/null";
        const int status = std::system(command.c_str());
        return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, read(out), read(err)};
    }
    std::string target() const { return "--target 127.0.0.1:" + std::to_string(recorder.port()); }
    std::string file(const std::string& name) const { return (dir_ / name).string(); }
    std::string write(const std::string& name, const std::vector<std::uint8_t>& bytes) {
        testimage::WriteFile(file(name), bytes);
        return file(name);
    }
    // app.bin, an application image carrying `tag` (nullptr: no tag at all).
    std::string app(const char* tag = "$version: 1.2.3 $") {
        testimage::ApplicationOptions options;
        if (tag)
            options.tag = tag;
        else
            options.tag.reset();
        return write("app.bin", testimage::BuildApplicationImage(options));
    }
    static std::string read(const std::string& path) {
        std::ifstream in(path);
        std::stringstream text;
        text << in.rdbuf();
        return text.str();
    }
    bool noSession() { return !recorder.waitForSessions(1, std::chrono::milliseconds(50)); }

    sim::RecorderSimulator recorder;

  private:
    TempDir scratch_;
    const std::filesystem::path& dir_ = scratch_.path();
};

}  // namespace imgdl::test

#pragma once
// The download flows run against the loopback recorder: a front end that records what
// the operator would see, in a scratch directory that becomes the current one (the
// integrated flow makes its copy there).
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "RecorderSimulator.h"
#include "TestImage.h"
#include "download/DownloadFlows.h"
#include "download/DownloadHost.h"
#include "download/DownloadProtocol.h"
#include "download/SessionThread.h"
#include "res/StringTable.h"
#include "support/RecordingDialogService.h"
#include "support/TempDir.h"

namespace imgdl::test {

inline SessionTimeouts QuickTimeouts() {
    SessionTimeouts t;
    t.handshakeReply = t.firstAck = t.writtenAck = std::chrono::milliseconds(2000);
    t.closeDelay = std::chrono::milliseconds(0);
    return t;
}

class LoopbackHost : public DownloadHost {
  public:
    DownloaderFields& fields() override { return fields_; }
    bool readFields() override {
        ++reads;
        return readSucceeds;
    }
    void writeFields() override { ++writes; }
    std::string targetAddressText() override { return fields_.targetIpControl; }
    MessageService& messages() override { return service; }
    bool runSession(const SessionRequest& request) override {
        DownloadJob job = MakeDownloadJob(request);
        job.timeouts = QuickTimeouts();
        const SessionOutcome outcome = RunDownloadSession(std::move(job));
        if (outcome.error)
            service.showMessage(LoadString(ErrorMessageId(outcome.error).value_or(0)));
        return outcome.error == 0;
    }

    DownloaderFields fields_;
    RecordingDialogService service;
    bool readSucceeds = true;
    int reads = 0;
    int writes = 0;
};

inline std::size_t OpenDescriptors() {
    return static_cast<std::size_t>(
        std::distance(std::filesystem::directory_iterator("/proc/self/fd"),
                      std::filesystem::directory_iterator()));
}

inline bool MapsMention(const std::string& path) {
    std::ifstream maps("/proc/self/maps");
    std::string line;
    while (std::getline(maps, line))
        if (line.find(path) != std::string::npos) return true;
    return false;
}

class FlowTest : public testing::Test {
  protected:
    FlowTest() {
        previous_ = std::filesystem::current_path();
        std::filesystem::current_path(dir_);
        host.fields_.targetIpControl = "127.0.0.1";
        host.fields_.portNumber = recorder.port();
        descriptorsBefore_ = OpenDescriptors();
    }
    ~FlowTest() override { std::filesystem::current_path(previous_); }
    // After every flow: no copy left, nothing of ours left open or mapped.
    void TearDown() override {
        EXPECT_FALSE(std::filesystem::exists(dir_ / kIntegratedCopyName));
        if (checkDescriptors) {
            EXPECT_EQ(OpenDescriptors(), descriptorsBefore_);
        }
        EXPECT_FALSE(MapsMention(dir_.string()));
    }

    std::string file(const std::string& name) const { return (dir_ / name).string(); }
    std::string write(const std::string& name, const std::vector<std::uint8_t>& bytes) {
        testimage::WriteFile(file(name), bytes);
        return file(name);
    }
    std::vector<sim::RecordedSession> sessionsAfter(std::size_t count) {
        EXPECT_TRUE(recorder.waitForSessions(count, std::chrono::seconds(10)));
        return recorder.sessions();
    }
    std::vector<std::string> shown() const { return host.service.texts(); }
    static std::string Text(int id) { return std::string(LoadString(id)); }

    sim::RecorderSimulator recorder;
    LoopbackHost host;
    bool checkDescriptors = true;  // off where Qt itself opens descriptors
    DownloadFlows flows{host};

  private:
    TempDir scratch_;
    const std::filesystem::path& dir_ = scratch_.path();
    std::filesystem::path previous_;
    std::size_t descriptorsBefore_ = 0;
};

}  // namespace imgdl::test

#pragma once
// The download flows run against the loopback recorder: a front end that shows the
// outcome as the main dialog does and records what the operator would see, in a scratch
// directory that becomes the current one (the integrated flow makes its copy there).
#include <gtest/gtest.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "RecorderSimulator.h"
#include "TestImage.h"
#include "flows/DownloadFlows.h"
#include "res/StringTable.h"
#include "session/DownloadProtocol.h"
#include "session/SessionThread.h"
#include "support/TempDir.h"

namespace imgdl::test {

inline SessionTimeouts QuickTimeouts() {
    SessionTimeouts t;
    t.handshakeReply = t.firstAck = t.writtenAck = std::chrono::milliseconds(2000);
    t.closeDelay = std::chrono::milliseconds(0);
    return t;
}

// Runs each session in this process and records the message a progress window would show.
class LoopbackRunner : public SessionRunner {
  public:
    SessionOutcome run(const SessionRequest& request) override {
        DownloadJob job = MakeDownloadJob(request);
        job.timeouts = QuickTimeouts();
        const SessionOutcome outcome = RunDownloadSession(std::move(job));
        if (outcome.error)
            messages.emplace_back(LoadString(ErrorMessageId(outcome.error).value_or(0)));
        return outcome;
    }

    std::vector<std::string> messages;
};

// The request as the dialog would make it, and its outcome shown as the dialog shows it.
struct LoopbackHost {
    void show(const FlowOutcome& outcome) {
        last = outcome;
        if (outcome.result == FlowOutcome::Result::Refused)
            runner.messages.emplace_back(LoadString(outcome.refusal));
        if (outcome.nextMac) {
            request.macText = *outcome.nextMac;
            ++writes;
        }
    }

    DownloadRequest request;
    LoopbackRunner runner;
    FlowOutcome last;
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
        host.request.target = RecorderAddress{{127, 0, 0, 1}, recorder.port(), {}};
        descriptorsBefore_ = OpenDescriptors();
    }
    ~FlowTest() override { std::filesystem::current_path(previous_); }
    // After every flow: no copy left, nothing of ours left open or mapped.
    void TearDown() override {
        EXPECT_FALSE(std::filesystem::exists(dir_ / kIntegratedCopyName));
        if (checkDescriptors) {
            // The in-process recorder closes its side of the last connection on its own
            // thread, possibly just after the flow has returned: give it a moment.
            for (int i = 0; i < 200 && OpenDescriptors() != descriptorsBefore_; ++i)
                std::this_thread::sleep_for(std::chrono::milliseconds(10));
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
    // Runs the flow the request names, as the Download command does.
    void download() { host.show(flows.Run(host.request)); }
    std::vector<std::string> shown() const { return host.runner.messages; }
    static std::string Text(int id) { return std::string(LoadString(id)); }

    sim::RecorderSimulator recorder;
    LoopbackHost host;
    bool checkDescriptors = true;  // off where Qt itself opens descriptors
    DownloadFlows flows{host.runner};

  private:
    TempDir scratch_;
    const std::filesystem::path& dir_ = scratch_.path();
    std::filesystem::path previous_;
    std::size_t descriptorsBefore_ = 0;
};

}  // namespace imgdl::test

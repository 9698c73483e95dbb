// A thousand units in one provision run: the imgdl process is watched from outside
// (/proc/PID/fd and VmRSS), early in the run and late in it, so that a descriptor or
// memory leak per session shows as growth between the two.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <iostream>

#include "Background.h"
#include "support/TempDir.h"

namespace imgdl::test {
namespace {

struct Sample {
    std::size_t unitsDone = 0;
    std::size_t fds = 0;
    long rssKiB = 0;
};

std::size_t OpenDescriptors(pid_t pid) {
    std::error_code ec;
    std::size_t n = 0;
    for (auto it = std::filesystem::directory_iterator("/proc/" + std::to_string(pid) + "/fd", ec);
         !ec && it != std::filesystem::directory_iterator(); it.increment(ec))
        ++n;
    return n;
}

long ResidentKiB(pid_t pid) {
    for (const auto& line : SplitLines(ReadText("/proc/" + std::to_string(pid) + "/status")))
        if (line.starts_with("VmRSS:")) return std::stol(line.substr(6));
    return 0;
}

TEST(ProvisionSoakTest, AThousandSessionsLeaveNoDescriptorOrMemoryBehind) {
    constexpr int kRecorders = 25, kUnits = 1000;
    TempDir dir;
    SimulatorProcess sim(dir.path().string(), kRecorders);
    Background init(
        {IMGDL_PROGRAM, "ledger", "init", "--ledger", dir.file("ledger.sqlite"), "--mac-first",
         "0012AB000000", "--mac-last", "0012AB000FFF", "--serial-first", "1"},
        dir.file("init.out"), dir.file("init.err"));
    ASSERT_EQ(init.wait(), 0) << ReadText(dir.file("init.err"));

    std::vector<std::string> args = {IMGDL_PROGRAM,
                                     "provision",
                                     "identity",
                                     "--ledger",
                                     dir.file("ledger.sqlite"),
                                     "--jobs",
                                     std::to_string(kRecorders)};
    for (int i = 0; i < kUnits; ++i)
        args.insert(args.end(), {"--target", sim.target(i % kRecorders)});
    const auto started = std::chrono::steady_clock::now();
    Background run(args, dir.file("run.out"), dir.file("run.err"));
    std::vector<Sample> samples;
    while (run.running()) {
        Sample s{SplitLines(ReadText(dir.file("run.out"))).size(), OpenDescriptors(run.pid()),
                 ResidentKiB(run.pid())};
        if (s.fds > 0) samples.push_back(s);
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    const int exit = run.wait();
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
    ASSERT_EQ(exit, 0) << ReadText(dir.file("run.err"));
    const auto lines = SplitLines(ReadText(dir.file("run.out")));
    ASSERT_EQ(lines.size(), static_cast<std::size_t>(kUnits));
    EXPECT_EQ(std::count_if(lines.begin(), lines.end(),
                            [](const std::string& l) { return l.ends_with(" done"); }),
              kUnits);

    // The busiest moments of the first and the last fifth of the run.
    Sample early, late;
    for (const Sample& s : samples) {
        Sample& window = s.unitsDone < kUnits / 5        ? early
                         : s.unitsDone >= kUnits * 4 / 5 ? late
                                                         : early;
        if (s.unitsDone >= kUnits / 5 && s.unitsDone < kUnits * 4 / 5) continue;
        window.fds = std::max(window.fds, s.fds);
        window.rssKiB = std::max(window.rssKiB, s.rssKiB);
    }
    std::cout << kUnits << " sessions in " << seconds << " s; descriptors early " << early.fds
              << ", late " << late.fds << "; VmRSS early " << early.rssKiB << " KiB, late "
              << late.rssKiB << " KiB; " << samples.size() << " samples\n";
    ASSERT_GT(early.fds, 0u);
    ASSERT_GT(late.fds, 0u);
    // A descriptor left per session would add hundreds between the two.
    EXPECT_LE(late.fds, early.fds + 3);
#ifndef __SANITIZE_ADDRESS__  // its quarantine keeps freed memory resident on purpose
    EXPECT_LE(late.rssKiB, early.rssKiB + 4096);
#endif
}

}  // namespace
}  // namespace imgdl::test

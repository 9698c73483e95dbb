// The per-recorder lock file: shared by every user, keyed by address, port and interface.
#include "flows/RecorderLock.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <fstream>
#include <iterator>
#include <thread>
#include <variant>

namespace imgdl {
namespace {

RecorderAddress Recorder(const char* text) {
    return *ParseRecorderAddress(text, {kDefaultRecorderPort, true, true});
}

std::string LockPath(const RecorderAddress& recorder) {
    return RecorderLock::Folder() + "/" + RecorderLock::FileName(recorder);
}

TEST(RecorderLock, ASecondHolderOfTheSameRecorderIsRefusedWithTheFirstsName) {
    const RecorderAddress recorder = Recorder("127.0.0.1:47001");
    auto first = RecorderLock::Acquire(recorder);
    ASSERT_TRUE(std::holds_alternative<RecorderLock>(first));
    const auto second = RecorderLock::Acquire(recorder);
    ASSERT_TRUE(std::holds_alternative<RecorderLock::Refusal>(second));
    const auto& refusal = std::get<RecorderLock::Refusal>(second);
    EXPECT_EQ(refusal.failure, RecorderLock::Failure::Busy);
    EXPECT_EQ(RefusalMessage(recorder, refusal), "The recorder 127.0.0.1:47001 is in use by " +
                                                     std::string(program_invocation_short_name) +
                                                     " (process " + std::to_string(::getpid()) +
                                                     ").");
    first = RecorderLock::Refusal{};  // released
    EXPECT_TRUE(std::holds_alternative<RecorderLock>(RecorderLock::Acquire(recorder)));
}

// The holder's line is written over the last one's: a longer one left behind must not
// trail into the name a refused caller is shown.
TEST(RecorderLock, ALongerLineOfAnEarlierHolderIsCutAway) {
    const RecorderAddress recorder = Recorder("127.0.0.1:47007");
    {
        std::ofstream earlier(LockPath(recorder), std::ios::trunc);
        earlier << "a-much-longer-program-name-of-an-earlier-holder 4000000000\n";
    }
    auto first = RecorderLock::Acquire(recorder);
    ASSERT_TRUE(std::holds_alternative<RecorderLock>(first));
    const auto second = RecorderLock::Acquire(recorder);
    ASSERT_TRUE(std::holds_alternative<RecorderLock::Refusal>(second));
    const auto& holder = std::get<RecorderLock::Refusal>(second).holder;
    ASSERT_TRUE(holder);
    EXPECT_EQ(holder->program, program_invocation_short_name);
    EXPECT_EQ(holder->pid, ::getpid());
    std::ifstream file(LockPath(recorder));
    const std::string text((std::istreambuf_iterator<char>(file)), {});
    EXPECT_EQ(text,
              std::string(program_invocation_short_name) + " " + std::to_string(::getpid()) + "\n");
}

TEST(RecorderLock, AnotherThreadOfThisRunIsWaitedForInsteadOfRefused) {
    const RecorderAddress recorder = Recorder("127.0.0.1:47006");
    auto held = RecorderLock::Acquire(recorder);
    ASSERT_TRUE(std::holds_alternative<RecorderLock>(held));
    std::thread releaser([&held] {
        std::this_thread::sleep_for(std::chrono::milliseconds(200));
        held = RecorderLock::Refusal{};
    });
    const auto started = std::chrono::steady_clock::now();
    const auto next = RecorderLock::AcquireAfterSiblings(recorder);
    releaser.join();
    EXPECT_TRUE(std::holds_alternative<RecorderLock>(next));
    EXPECT_GE(std::chrono::steady_clock::now() - started, std::chrono::milliseconds(150));
}

TEST(RecorderLock, RecordersDifferingInAddressPortOrInterfaceAreHeldApart) {
    const auto held = RecorderLock::Acquire(Recorder("127.0.0.1:47002"));
    ASSERT_TRUE(std::holds_alternative<RecorderLock>(held));
    for (const char* other : {"127.0.0.2:47002", "127.0.0.1:47003", "127.0.0.1:47002%lo"}) {
        SCOPED_TRACE(other);
        EXPECT_NE(RecorderLock::FileName(Recorder(other)),
                  RecorderLock::FileName(Recorder("127.0.0.1:47002")));
        EXPECT_TRUE(std::holds_alternative<RecorderLock>(RecorderLock::Acquire(Recorder(other))));
    }
}

TEST(RecorderLock, TheFileIsOpenToEveryUserWhateverTheUmask) {
    const RecorderAddress recorder = Recorder("127.0.0.1:47004");
    ::unlink(LockPath(recorder).c_str());
    const mode_t saved = ::umask(077);
    const auto held = RecorderLock::Acquire(recorder);
    ::umask(saved);
    ASSERT_TRUE(std::holds_alternative<RecorderLock>(held));
    struct stat info {};
    ASSERT_EQ(::lstat(LockPath(recorder).c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 07777, 0666u);
}

TEST(RecorderLock, ALinkUnderTheLockNameIsNotFollowed) {
    const RecorderAddress recorder = Recorder("127.0.0.1:47005");
    const std::string path = LockPath(recorder);
    ::unlink(path.c_str());
    ASSERT_EQ(::symlink("/nonexistent-imgdl-victim", path.c_str()), 0);
    const auto refused = RecorderLock::Acquire(recorder);
    ::unlink(path.c_str());
    ASSERT_TRUE(std::holds_alternative<RecorderLock::Refusal>(refused));
    EXPECT_EQ(std::get<RecorderLock::Refusal>(refused).failure, RecorderLock::Failure::CannotLock);
    struct stat info {};
    EXPECT_NE(::stat("/nonexistent-imgdl-victim", &info), 0);
}

}  // namespace
}  // namespace imgdl

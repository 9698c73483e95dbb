// imgdl on a machine shared with other users and other downloads: the integrated
// image's copy in a folder anyone may write, and one flow per recorder at a time.
#include <fcntl.h>
#include <grp.h>
#include <pwd.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <mutex>
#include <thread>

#include "CliTestSupport.h"
#include "image/IdentityPatch.h"
#include "session/DownloadProtocol.h"
#include "support/HelperProcess.h"

namespace imgdl::test {
namespace {

// A child process of another, unprivileged user that keeps renaming a link to `victim`
// over the integrated image's copy in `folder` until it is killed.
class LinkSwapper {
  public:
    LinkSwapper(const std::string& folder, const std::string& victim, uid_t uid, gid_t gid) {
        const std::string link = folder + "/.swap", name = folder + "/_ZOMADVR.tmp";
        pid_ = ::fork();
        if (pid_ != 0) return;
        // Only system calls from here: the parent may have threads.
        if (::setgroups(0, nullptr) != 0 || ::setresgid(gid, gid, gid) != 0 ||
            ::setresuid(uid, uid, uid) != 0)
            ::_exit(1);
        // The moment the copy appears as a file, a link to the victim takes its name.
        for (struct stat info{};;) {
            ::symlink(victim.c_str(), link.c_str());
            if (::lstat(name.c_str(), &info) == 0 && S_ISREG(info.st_mode))
                ::rename(link.c_str(), name.c_str());
        }
    }
    ~LinkSwapper() {
        if (pid_ <= 0) return;
        ::kill(pid_, SIGKILL);
        ::waitpid(pid_, nullptr, 0);
    }
    LinkSwapper(const LinkSwapper&) = delete;
    LinkSwapper& operator=(const LinkSwapper&) = delete;
    bool running() const { return pid_ > 0 && ::waitpid(pid_, nullptr, WNOHANG) == 0; }

  private:
    pid_t pid_ = -1;
};

struct FileState {
    std::string bytes;
    timespec modified{};
};

class SharedFolderTest : public CliTest {
  protected:
    void SetUp() override {
        if (::geteuid() != 0) GTEST_SKIP() << "needs root to run a second, unprivileged user";
        const passwd* nobody = ::getpwnam("nobody");
        if (!nobody) GTEST_SKIP() << "no user nobody on this machine";
        uid_ = nobody->pw_uid;
        gid_ = nobody->pw_gid;
        char pattern[] = "/tmp/imgdl-shared-XXXXXX";
        ASSERT_NE(::mkdtemp(pattern), nullptr);
        folder_ = pattern;
        // Writable by everyone and without the sticky bit: anyone may rename over any name.
        ASSERT_EQ(::chmod(folder_.c_str(), 0777), 0);
    }
    void TearDown() override {
        if (!folder_.empty()) std::filesystem::remove_all(folder_);
    }

    static FileState StateOf(const std::string& path) {
        struct stat info {};
        ::stat(path.c_str(), &info);
        return {read(path), info.st_mtim};
    }

    std::string folder_;
    uid_t uid_ = 0;
    gid_t gid_ = 0;
};

TEST_F(SharedFolderTest, AnotherUserSwappingTheCopyForALinkChangesNeitherTheImageNorAnyFile) {
    constexpr int kSends = 30;
    const std::string victim = file("victim");
    ASSERT_TRUE(testimage::WriteFile(victim, std::vector<std::uint8_t>(200'000, 0x11)));
    const FileState before = StateOf(victim);

    testimage::IntegratedOptions options;
    std::vector<std::uint8_t> image = testimage::BuildIntegratedImage(options);
    const std::string imagePath = write("integrated.bin", image);
    std::vector<std::uint8_t> expected = image;
    PatchMacAddress(expected, ParseMacAddress("0011223344AA"));
    PatchSerialNumber(expected, 4711);

    LinkSwapper swapper(folder_, victim, uid_, gid_);
    ASSERT_TRUE(swapper.running());
    int refused = 0;
    for (int send = 0; send < kSends; ++send) {
        const std::string command =
            "cd '" + folder_ + "' && timeout -k 1 60 " IMGDL_PROGRAM " send integrated '" +
            imagePath + "' " + target() + " --mac 0011223344AA --serial 4711 > /dev/null 2>&1";
        const int status = std::system(command.c_str());
        if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) ++refused;
    }
    EXPECT_EQ(refused, 0) << "sends that did not end done";
    ASSERT_TRUE(swapper.running());

    recorder.waitForSessions(2 * (kSends - refused), std::chrono::seconds(10));
    int images = 0;
    for (const auto& session : recorder.sessions()) {
        if (session.command != CMD_INTEGRATED_IMAGE) continue;
        ++images;
        EXPECT_TRUE(session.payload == expected)
            << "image " << images << " was not the patched copy";
    }
    EXPECT_EQ(images, kSends - refused);
    const FileState after = StateOf(victim);
    EXPECT_TRUE(after.bytes == before.bytes) << "the victim's bytes changed";
    EXPECT_EQ(after.modified.tv_sec, before.modified.tv_sec);
    EXPECT_EQ(after.modified.tv_nsec, before.modified.tv_nsec);
    EXPECT_TRUE(read(imagePath) == std::string(image.begin(), image.end()));
}

class RecorderLockTest : public CliTest {
  protected:
    // imgdl send app, left running in the background.
    std::unique_ptr<HelperProcess> sendInBackground(const std::string& image) {
        return std::make_unique<HelperProcess>(
            std::vector<std::string>{IMGDL_PROGRAM, "send", "app", image, "--target",
                                     "127.0.0.1:" + std::to_string(recorder.port())});
    }
    // Waits until the recorder has begun a session, so the first flow surely holds it.
    void waitForFirstConnect() { ASSERT_TRUE(waitForSessions(1)); }
    // The recorder records a session once it has drained it, after the client is gone.
    bool waitForSessions(int count) {
        for (int i = 0; i < 1000 && connects_.load() < count; ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        return connects_.load() >= count;
    }
    void SetUp() override {
        recorder.setSessionCallback([this](const sim::RecordedSession& session) {
            const std::lock_guard<std::mutex> hold(mutex_);
            commands_.push_back(session.command);
            ++connects_;
        });
    }
    std::vector<std::uint32_t> commands() {
        const std::lock_guard<std::mutex> hold(mutex_);
        return commands_;
    }
    std::atomic<int> connects_{0};
    std::mutex mutex_;
    std::vector<std::uint32_t> commands_;
};

TEST_F(RecorderLockTest, ASecondSendToABusyRecorderIsRefusedAtOnceNamingTheHolder) {
    const std::string image = app();
    sim::RecorderBehaviour slow;
    slow.writeDelay = std::chrono::milliseconds(1500);
    recorder.setBehaviour(slow);
    auto first = sendInBackground(image);
    ASSERT_TRUE(first->started());
    waitForFirstConnect();

    const auto started = std::chrono::steady_clock::now();
    const Result second = imgdl("send app app.bin " + target());
    EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(1));
    EXPECT_EQ(second.exit, 2);
    EXPECT_EQ(second.err, "The recorder 127.0.0.1:" + std::to_string(recorder.port()) +
                              " is in use by imgdl (process " + std::to_string(first->pid()) +
                              ").\n");
    EXPECT_EQ(second.out, "");

    EXPECT_EQ(first->wait(), 0);
    waitForSessions(2);
    EXPECT_EQ(commands(), (std::vector<std::uint32_t>{CMD_FIRMWARE_VERSION, CMD_APPLICATION_IMAGE}))
        << "only the first flow's version check and image";
    // Once the first is done, the recorder is free again.
    recorder.setBehaviour({});
    EXPECT_EQ(imgdl("send app app.bin " + target()).exit, 0);
}

TEST_F(RecorderLockTest, ALockHeldByAProcessThatDiedIsFreeAgain) {
    const std::string image = app();
    sim::RecorderBehaviour slow;
    slow.writeDelay = std::chrono::milliseconds(1500);
    recorder.setBehaviour(slow);
    auto first = sendInBackground(image);
    ASSERT_TRUE(first->started());
    waitForFirstConnect();
    first->sendSignal(SIGKILL);
    first->wait();

    recorder.setBehaviour({});
    const Result second = imgdl("send app app.bin " + target());
    EXPECT_EQ(second.exit, 0) << second.err;
}

TEST_F(RecorderLockTest, OtherRecordersAndOtherPortsAreNotHeld) {
    const std::string image = app();
    sim::RecorderBehaviour slow;
    slow.writeDelay = std::chrono::milliseconds(1500);
    recorder.setBehaviour(slow);
    auto first = sendInBackground(image);
    waitForFirstConnect();

    sim::RecorderSimulator other;
    EXPECT_EQ(imgdl("send app app.bin --target 127.0.0.1:" + std::to_string(other.port())).exit, 0);
    EXPECT_EQ(first->wait(), 0);
}

}  // namespace
}  // namespace imgdl::test

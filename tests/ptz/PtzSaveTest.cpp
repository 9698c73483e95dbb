// Saving the database and the image: a save that fails, wherever it fails, returns 0
// and leaves a file already at the path exactly as it was (the new contents go to a
// temporary file that replaces the target only when complete), and leaves no
// temporary file behind. Where the folder takes no new file but the file itself may be
// written, the file is written in place.
#include <gtest/gtest.h>

#include <grp.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <functional>
#include <optional>

#include "PtzTestFiles.h"
#include "ptz/PtzDatabase.h"
#include "ptz/PtzImage.h"

namespace imgdl::test {
namespace {

// Lowers this process's file size limit so that writes past it fail (EFBIG); the
// signal that would end the process is ignored meanwhile. Works as root too.
class FileSizeLimit {
  public:
    explicit FileSizeLimit(rlim_t bytes) {
        ::getrlimit(RLIMIT_FSIZE, &saved_);
        rlimit lowered = saved_;
        lowered.rlim_cur = bytes;
        ::setrlimit(RLIMIT_FSIZE, &lowered);
        savedHandler_ = ::signal(SIGXFSZ, SIG_IGN);
    }
    FileSizeLimit(const FileSizeLimit&) = delete;
    FileSizeLimit& operator=(const FileSizeLimit&) = delete;
    ~FileSizeLimit() {
        ::setrlimit(RLIMIT_FSIZE, &saved_);
        ::signal(SIGXFSZ, savedHandler_);
    }

  private:
    rlimit saved_{};
    sighandler_t savedHandler_ = SIG_DFL;
};

// Runs `body` with the rights of an ordinary user, whom permission bits stop: as root,
// in a child process that has become "nobody" and owns the paths in `owned`. Its
// result, or nothing when root could not be given up here.
std::optional<int> RunAsOrdinaryUser(const std::function<int()>& body,
                                     const std::vector<std::filesystem::path>& owned) {
    if (::geteuid() != 0) return body();
    constexpr uid_t kNobody = 65534;
    for (const auto& path : owned)
        if (::chown(path.c_str(), kNobody, kNobody) != 0) return std::nullopt;
    const pid_t child = ::fork();
    if (child < 0) return std::nullopt;
    if (child == 0) {
        if (::setgroups(0, nullptr) != 0 || ::setgid(kNobody) != 0 || ::setuid(kNobody) != 0)
            ::_exit(255);
        ::_exit(body() & 0x7f);
    }
    int status = 0;
    if (::waitpid(child, &status, 0) != child || !WIFEXITED(status) || WEXITSTATUS(status) == 255)
        return std::nullopt;
    return WEXITSTATUS(status);
}

struct Saver {
    const char* name;
    std::function<int(const std::filesystem::path&)> save;
};

void PrintTo(const Saver& saver, std::ostream* out) {
    *out << saver.name;
}

Saver DatabaseSaver() {
    return {"database", [](const std::filesystem::path& path) {
                PtzDatabase db;
                db.Grow(3);
                for (int i = 0; i < 3; ++i) db.Put(i, SampleProtocol(i));
                return db.Save(path);
            }};
}

Saver ImageSaver() {
    return {"image", [](const std::filesystem::path& path) {
                PtzImage image;
                image.PutSlot(0, SampleProtocol(1));
                return image.Save(path);
            }};
}

const Bytes kOldContents{'o', 'l', 'd', ' ', 'g', 'o', 'o', 'd', ' ', 'f', 'i', 'l', 'e'};

class PtzSaveTest : public PtzFileTest, public ::testing::WithParamInterface<Saver> {};

TEST_P(PtzSaveTest, IntoAMissingFolderFails) {
    EXPECT_EQ(GetParam().save(PathOf("missing") / "out.bin"), 0);
    EXPECT_FALSE(std::filesystem::exists(PathOf("missing")));
}

TEST_P(PtzSaveTest, UnderARegularFileFails) {
    WriteBytes(PathOf("plain"), kOldContents);
    EXPECT_EQ(GetParam().save(PathOf("plain") / "out.bin"), 0);
    EXPECT_EQ(ReadBytes(PathOf("plain")), kOldContents);
}

TEST_P(PtzSaveTest, OntoAFolderFailsAndLeavesIt) {
    std::filesystem::create_directory(PathOf("folder"));
    EXPECT_EQ(GetParam().save(PathOf("folder")), 0);
    EXPECT_TRUE(std::filesystem::is_directory(PathOf("folder")));
    EXPECT_EQ(FolderEntries(), std::vector<std::string>{"folder"});
}

TEST_P(PtzSaveTest, WriteFailingMidwayLeavesTheOldFileIntact) {
    WriteBytes(PathOf("target"), kOldContents);
    {
        const FileSizeLimit limit(1000);
        EXPECT_EQ(GetParam().save(PathOf("target")), 0);
    }
    EXPECT_EQ(ReadBytes(PathOf("target")), kOldContents);
    EXPECT_EQ(FolderEntries(), std::vector<std::string>{"target"});
}

TEST_P(PtzSaveTest, OntoAReadOnlyFileInAReadOnlyFolderFails) {
    WriteBytes(PathOf("target"), kOldContents);
    ::chmod(PathOf("target").c_str(), 0400);
    ::chmod(PathOf("").c_str(), 0500);
    const std::optional<int> result = RunAsOrdinaryUser(
        [&] { return GetParam().save(PathOf("target")); }, {PathOf(""), PathOf("target")});
    ::chmod(PathOf("").c_str(), 0700);
    if (!result) GTEST_SKIP() << "no ordinary user to run as";
    EXPECT_EQ(*result, 0);
    EXPECT_EQ(ReadBytes(PathOf("target")), kOldContents);
}

// The folder refuses the temporary file, the file itself may be written: the save
// writes it in place and keeps its permission bits.
TEST_P(PtzSaveTest, WritableFileInAReadOnlyFolderIsWrittenInPlace) {
    ASSERT_EQ(GetParam().save(PathOf("reference")), 1);
    WriteBytes(PathOf("target"), kOldContents);
    ::chmod(PathOf("target").c_str(), 0640);
    ::chmod(PathOf("").c_str(), 0500);
    const std::optional<int> result = RunAsOrdinaryUser(
        [&] { return GetParam().save(PathOf("target")); }, {PathOf(""), PathOf("target")});
    ::chmod(PathOf("").c_str(), 0700);
    if (!result) GTEST_SKIP() << "no ordinary user to run as";
    EXPECT_EQ(*result, 1);
    EXPECT_EQ(ReadBytes(PathOf("target")), ReadBytes(PathOf("reference")));
    struct stat info {};
    ASSERT_EQ(::stat(PathOf("target").c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 07777, 0640u);
    EXPECT_EQ(FolderEntries(), (std::vector<std::string>{"reference", "target"}));
}

TEST_P(PtzSaveTest, ReplacingAFileKeepsItsPermissionBits) {
    WriteBytes(PathOf("target"), kOldContents);
    ::chmod(PathOf("target").c_str(), 0640);
    ASSERT_EQ(GetParam().save(PathOf("target")), 1);
    EXPECT_NE(ReadBytes(PathOf("target")), kOldContents);
    struct stat info {};
    ASSERT_EQ(::stat(PathOf("target").c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 07777, 0640u);
    EXPECT_EQ(FolderEntries(), std::vector<std::string>{"target"});
}

TEST_P(PtzSaveTest, SavingThroughASymbolicLinkReplacesTheFileItNames) {
    WriteBytes(PathOf("target"), kOldContents);
    std::filesystem::create_symlink("target", PathOf("link"));
    ASSERT_EQ(GetParam().save(PathOf("link")), 1);
    EXPECT_TRUE(std::filesystem::is_symlink(PathOf("link")));
    EXPECT_NE(ReadBytes(PathOf("target")), kOldContents);
    EXPECT_EQ(ReadBytes(PathOf("link")), ReadBytes(PathOf("target")));
}

TEST_P(PtzSaveTest, RelativePathSavesInTheCurrentFolder) {
    const auto previous = std::filesystem::current_path();
    std::filesystem::current_path(PathOf(""));
    const int result = GetParam().save("relative.out");
    std::filesystem::current_path(previous);
    EXPECT_EQ(result, 1);
    EXPECT_EQ(FolderEntries(), std::vector<std::string>{"relative.out"});
}

INSTANTIATE_TEST_SUITE_P(Containers, PtzSaveTest, ::testing::Values(DatabaseSaver(), ImageSaver()),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace imgdl::test

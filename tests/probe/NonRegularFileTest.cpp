// Every opener of an image refuses what is not a regular file, and none of them
// waits on a FIFO: the probe, the mapping and the integrated flow's private copy.
#include <gtest/gtest.h>

#include <filesystem>

#include "common/RegularFile.h"
#include "image/MappedImageFile.h"
#include "image/ProbeFirmwareVersion.h"
#include "image/TemporaryCopy.h"
#include "support/Fifo.h"
#include "support/TempDir.h"

namespace imgdl {
namespace {

using test::WithoutBlocking;

class NonRegularFileTest : public testing::Test {
  protected:
    NonRegularFileTest() {
        test::MakeFifo(fifo);
        std::filesystem::create_directory(folder);
    }
    // Every opener on `path`; each must fail.
    void expectAllRefuse(const std::string& path) {
        EXPECT_EQ(WithoutBlocking<int>(path,
                                       [&] {
                                           return ProbeFirmwareVersion(
                                               path, ImageLayout::Application, gzip::DiscardSink());
                                       }),
                  kProbeCannotOpen)
            << path;
        for (const bool readOnly : {true, false}) {
            MappedImageFile file;
            EXPECT_FALSE(
                WithoutBlocking<bool>(path, [&] { return file.Open(path, readOnly) != nullptr; }))
                << path << (readOnly ? " read-only" : " read-write");
        }
        TemporaryCopy copy(dir.file("copy.tmp"));
        EXPECT_FALSE(WithoutBlocking<bool>(path, [&] { return copy.CopyFrom(path); })) << path;
        EXPECT_FALSE(std::filesystem::exists(dir.file("copy.tmp"))) << path;
    }

    test::TempDir dir;
    std::string fifo = dir.file("pipe");
    std::string folder = dir.file("folder");
};

TEST_F(NonRegularFileTest, OpenersRefuseAFifoAndADirectory) {
    expectAllRefuse(fifo);
    expectAllRefuse(folder);
}

TEST_F(NonRegularFileTest, TheOpenSaysWhyItFailed) {
    const struct {
        std::string path;
        OpenFailure failure;
    } cases[] = {
        {fifo, OpenFailure::NotRegularFile},
        {folder, OpenFailure::NotRegularFile},
        {"/dev/null", OpenFailure::NotRegularFile},
        {dir.file("missing.bin"), OpenFailure::CannotOpen},
    };
    for (const auto& c : cases) {
        const OpenedFile opened =
            WithoutBlocking<OpenedFile>(c.path, [&] { return OpenRegularFileForReading(c.path); });
        EXPECT_FALSE(opened) << c.path;
        EXPECT_EQ(opened.failure, c.failure) << c.path;
    }
}

}  // namespace
}  // namespace imgdl

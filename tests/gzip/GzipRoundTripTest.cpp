// zlib-compressed data of several kinds and sizes around the window, at every
// level and strategy, comes back byte for byte; plus two threads at once.
#include <gtest/gtest.h>
#include <zlib.h>

#include <thread>

#include "GzipTestSupport.h"
#include "gzip/GzipInflater.h"

namespace imgdl::test {
namespace {

constexpr std::size_t kRegion = 4 * 1024 * 1024;  // what the firmware probe hands in

struct Strategy {
    const char* name;
    int value;
};
constexpr Strategy kStrategies[] = {{"default", Z_DEFAULT_STRATEGY},
                                    {"filtered", Z_FILTERED},
                                    {"huffman-only", Z_HUFFMAN_ONLY},
                                    {"rle", Z_RLE},
                                    {"fixed", Z_FIXED}};

void ExpectRoundTrip(const Bytes& content, int level, int strategy, std::size_t region) {
    const Bytes member = ZlibMember(content, level, strategy);
    ASSERT_FALSE(member.empty());
    const UnzipRun run = RunUnzip(member, region, 0xEE);
    ASSERT_EQ(run.result, 0);
    ASSERT_EQ(run.consumed, member.size());
    const std::size_t kept = std::min(content.size(), region);
    ASSERT_TRUE(std::equal(content.begin(), content.begin() + static_cast<std::ptrdiff_t>(kept),
                           run.region.begin()));
    if (kept < region) {
        ASSERT_EQ(run.region[kept], 0xEE);
        ASSERT_EQ(run.printed, "");
    }
}

class GzipRoundTrip : public testing::TestWithParam<std::tuple<DataKind, std::size_t>> {};

TEST_P(GzipRoundTrip, EveryLevelAndStrategy) {
    const auto [kind, size] = GetParam();
    const Bytes content = MakeData(kind, size, static_cast<std::uint32_t>(size));
    for (int level = 0; level <= 9; ++level) {
        for (const auto& strategy : kStrategies) {
            SCOPED_TRACE(testing::Message() << "level " << level << ", " << strategy.name);
            ExpectRoundTrip(content, level, strategy.value, size + 16);
        }
    }
}

INSTANTIATE_TEST_SUITE_P(AroundTheWindow, GzipRoundTrip,
                         testing::Combine(testing::Values(DataKind::kText, DataKind::kBinary,
                                                          DataKind::kRuns, DataKind::kRandom,
                                                          DataKind::kPeriods),
                                          testing::Values(0, 1, 32767, 32768, 32769, 100000)),
                         [](const auto& info) {
                             return std::string(DataKindName(std::get<0>(info.param))) + "_" +
                                    std::to_string(std::get<1>(info.param));
                         });

// Big inputs at a few settings each: the firmware probe's case and beyond.
TEST(GzipRoundTripLarge, FourMiBAndMoreThanTheRegion) {
    struct LargeCase {
        DataKind kind;
        std::size_t size;
        int level;
        int strategy;
    };
    const LargeCase cases[] = {
        {DataKind::kBinary, kRegion, 9, Z_DEFAULT_STRATEGY},
        {DataKind::kText, kRegion, 1, Z_DEFAULT_STRATEGY},
        {DataKind::kRandom, kRegion, 6, Z_DEFAULT_STRATEGY},
        {DataKind::kRuns, kRegion, 9, Z_RLE},
        {DataKind::kPeriods, kRegion, 9, Z_DEFAULT_STRATEGY},
        {DataKind::kText, kRegion, 6, Z_FIXED},
        {DataKind::kBinary, kRegion + 300000, 9, Z_DEFAULT_STRATEGY},  // more than the region
        {DataKind::kText, kRegion + 1, 0, Z_DEFAULT_STRATEGY},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << DataKindName(c.kind) << " " << c.size << " level "
                                        << c.level << " strategy " << c.strategy);
        ExpectRoundTrip(MakeData(c.kind, c.size, 7), c.level, c.strategy, kRegion);
    }
}

TEST(GzipThreads, TwoDecompressionsAtOnce) {
    struct Job {
        Bytes content;
        Bytes member;
        int failures = 0;
    };
    Job jobs[2];
    jobs[0].content = MakeData(DataKind::kText, 600000, 3);
    jobs[1].content = MakeData(DataKind::kBinary, 700000, 4);
    for (auto& job : jobs) job.member = ZlibMember(job.content, 6, Z_DEFAULT_STRATEGY);
    auto work = [](Job& job) {
        for (int round = 0; round < 8; ++round) {
            Bytes input = job.member;
            Bytes region(job.content.size());
            MemoryStream in = openMemoryStream(input.data(), input.size());
            MemoryStream out = openMemoryStream(region.data(), region.size());
            if (GzipInflater::unzip(in, out) != 0 || region != job.content) ++job.failures;
        }
    };
    {
        std::jthread a(work, std::ref(jobs[0]));
        std::jthread b(work, std::ref(jobs[1]));
    }
    EXPECT_EQ(jobs[0].failures, 0);
    EXPECT_EQ(jobs[1].failures, 0);
}

}  // namespace
}  // namespace imgdl::test
